// greeting_banner.cpp: cell grid construction, the animation rules, the burst and the draw.
#include "scene/greeting_banner.h"

#include <algorithm>
#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kBannerScale = 12.0f;
constexpr float kCellQuad = 0.3f;
constexpr float kDepth = 9.0f;
// Beyond this a grid would cost more memory than any image has pixels to show.
constexpr float kMaxGridSide = 4096.0f;

int gridCount(float extent, float cellSize)
{
    const float n = extent / cellSize;
    if (!(n >= 0.0f) || n > kMaxGridSide)
        return 0;
    return static_cast<int>(n);
}

// Inclusive window test in signed 64-bit, so windows near 0 cannot wrap.
bool within(uint32_t t, int64_t lo, int64_t hi)
{
    const int64_t v = t;
    return lo <= v && v <= hi;
}

void drawCell(const GreetingBanner& banner, size_t k)
{
    const Vec4& p = banner.cellPositions[k];
    const Vec4& leftTop = banner.cellTexCoords[2 * k];
    const Vec4& rightBottom = banner.cellTexCoords[2 * k + 1];
    const float uLeft = leftTop.x, vTop = leftTop.y;
    const float uRight = rightBottom.x, vBottom = rightBottom.y;
    glPushMatrix();
    glTranslatef(p.x, p.y + banner.yOffset, p.z - kDepth);
    glRotatef(banner.cellTilts[k] * banner.scatter, 0.5f, 1.0f, 0.1f);
    glBegin(GL_QUADS);
    glTexCoord2f(uLeft, 1.0f - vTop);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, kCellQuad, 0.0f);
    glTexCoord2f(uRight, 1.0f - vTop);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(kCellQuad, kCellQuad, 0.0f);
    glTexCoord2f(uRight, 1.0f - vBottom);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(kCellQuad, 0.0f, 0.0f);
    glTexCoord2f(uLeft, 1.0f - vBottom);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glPopMatrix();
}

}  // namespace

GreetingBanner buildGreetingBanner(
    ImageId image, uint32_t startMs, uint32_t endMs, int paletteSlot, float cellSize, ShowRandom& random)
{
    GreetingBanner banner;
    banner.startMs = startMs;
    banner.endMs = endMs;
    banner.paletteSlot = paletteSlot;
    banner.cellSize = cellSize;
    banner.image = image;

    const int columns = gridCount(2.0f, cellSize);
    const int rows = gridCount(0.25f, cellSize);
    if (rows <= 0 || columns <= 0)
        return banner;
    const float du = 1.0f / static_cast<float>(columns);
    const float dv = 1.0f / static_cast<float>(rows);

    const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(columns);
    banner.cellPositions.reserve(cells);
    banner.cellTexCoords.reserve(2 * cells);
    banner.cellDirections.reserve(cells);
    banner.cellSpeeds.reserve(cells);
    banner.cellTilts.reserve(cells);

    // Accumulated by repeated addition, like the grid was always laid out.
    float y = -0.125f;
    float texV = 0.0f;
    for (int r = 0; r < rows; ++r) {
        float x = -1.0f;
        float texU = 0.0f;
        for (int c = 0; c < columns; ++c) {
            banner.cellPositions.push_back(Vec4 {x * kBannerScale, y * kBannerScale, 0.0f, 1.0f});
            Vec4 direction;
            direction.x = random.unit();
            direction.y = random.unit();
            direction.z = random.unit();
            banner.cellDirections.push_back(direction);
            banner.cellSpeeds.push_back(random.unit() * 0.75f + 1.25f);
            banner.cellTilts.push_back(random.unit() * kTwoPi);
            banner.cellTexCoords.push_back(Vec4 {texU, texV + dv, 0.0f, 1.0f});
            texU = texU + du;
            banner.cellTexCoords.push_back(Vec4 {texU, texV, 0.0f, 1.0f});
            x = x + cellSize;
        }
        y = y + cellSize;
        texV = texV + dv;
    }
    return banner;
}

bool greetingVisible(const GreetingBanner& banner, uint32_t t) { return banner.startMs <= t && t <= banner.endMs; }

void advanceGreetingBanner(GreetingBanner& banner, float step, uint32_t t)
{
    const int64_t start = banner.startMs;
    const int64_t end = banner.endMs;
    if (within(t, start, end + 1000))
        banner.level = std::min(banner.level + 0.5f * step, 1.0f);
    if (within(t, end - 125, end))
        banner.level = std::max(banner.level - 4.0f * step, 0.0f);
    if (within(t, end - 1500, end))
        banner.scatter = std::min(banner.scatter + 2.1f * step, 1.0f);
    banner.pixelate = std::min(banner.pixelate + 18.0f * step, 512.0f);
    banner.yOffset = std::max(banner.yOffset - 16.0f * step, 4.5f);
}

void burstGreetingCells(GreetingBanner& banner)
{
    const float spread = banner.scatter / 20.0f;
    const size_t cells = banner.cellPositions.size();
    for (size_t k = 0; k < cells; ++k) {
        Vec4& p = banner.cellPositions[k];
        const Vec4& d = banner.cellDirections[k];
        const float speed = banner.cellSpeeds[k];
        p.x += (d.x * speed) * spread;
        p.y += (d.y * speed) * spread;
        p.z += (d.z * speed) * spread;
    }
}

bool updateGreetingBanner(GreetingBanner& banner, float step, uint32_t t)
{
    if (!greetingVisible(banner, t))
        return false;
    banner.materialLevel = banner.level;
    advanceGreetingBanner(banner, step, t);
    burstGreetingCells(banner);
    return true;
}

void drawGreetingBanner(const GreetingBanner& banner, const TextureEntry* texture, const TexturedProgram& program,
    const Rgba& colour, uint32_t t)
{
    if (!greetingVisible(banner, t))
        return;
    applyMaterial(colour, banner.materialLevel);
    applyDrawState({.blend = Blend::Alpha, .texturing = Texturing::Unit0});
    bindProgramTexture(texture, program.tex);
    ProgramRegistry::setFloats(*program.pixelate, banner.pixelate);
    const size_t cells = banner.cellPositions.size();
    for (size_t k = 0; k < cells; ++k)
        drawCell(banner, k);
}
