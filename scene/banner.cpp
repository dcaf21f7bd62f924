// banner.cpp: draws one banner quad.
#include "scene/banner.h"

#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"
#include "scene/ramp.h"

namespace {

struct BannerCorner {
    float s, t;
    float x, y;
};

// Top left, top right, bottom right, bottom left; the image's first row on top.
constexpr BannerCorner kCorners[4] = {
    {0.0f, 0.0f, -kBannerHalfWidth, kBannerHalfHeight},
    {1.0f, 0.0f, kBannerHalfWidth, kBannerHalfHeight},
    {1.0f, 1.0f, kBannerHalfWidth, -kBannerHalfHeight},
    {0.0f, 1.0f, -kBannerHalfWidth, -kBannerHalfHeight},
};

// sin and cos in double on a single-precision argument, rounded back to single.
float sinf1(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float cosf1(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }

// A wobbling banner: sways on x, bobs on y, nods on z around a base point.
Vec4 wobble(float baseX, float baseY, float baseZ, float u)
{
    return {baseX + sinf1(u), baseY + 0.2f * cosf1(u + 0.5f), baseZ + 0.1f * sinf1(u + 0.75f), 1.0f};
}

// The beat pushes the two that stand still; the others wobble.
bool wobbles(BannerId id) { return id != BannerId::Galder && id != BannerId::Qn; }

Vec4 bannerPosition(BannerId id, float phase, float pulse)
{
    switch (id) {
    case BannerId::Brindle: return wobble(0.0f, 5.0f, -7.0f, phase);
    case BannerId::Galder: return {-1.0f - 0.2f * pulse, 2.5f - 0.2f * pulse, -8.0f + pulse, 1.0f};
    case BannerId::Qn: return {1.0f + 0.2f * pulse, 4.0f, -6.0f - 3.0f * pulse, 1.0f};
    case BannerId::Zembo: return wobble(0.0f, 7.0f, -7.0f, phase);
    case BannerId::Kavi: return wobble(-1.0f, 3.0f, -8.0f, phase);
    case BannerId::Message: return wobble(6.0f, 6.0f, -7.0f, phase);
    }
    return {};
}

}  // namespace

void planBanner(BannerState& banner, BannerId id, uint32_t t, float step, float beatPulse)
{
    const BannerWindow& window = bannerWindow(id);
    if (t <= window.riseUntilMs)
        banner.fade = rise(banner.fade, 0.1f, step, 1.0f);
    if (t >= window.fallFromMs)
        banner.fade = fall(banner.fade, 0.3f, step, 0.0f);
    banner.pixelate = rise(banner.pixelate, 8.0f, step, 512.0f);
    if (wobbles(id))
        banner.phase += 0.25f * step;
    banner.position = bannerPosition(id, banner.phase, beatPulse);
}

void drawBanner(const TexturedProgram& program, const Rgba& colour, float fade, const TextureEntry* texture,
    float pixelate, const Vec4& position)
{
    applyMaterial(colour, fade);
    applyDrawState({.blend = Blend::Off, .texturing = Texturing::Unit0});

    bindProgramTexture(texture, program.tex);
    ProgramRegistry::setFloats(*program.pixelate, pixelate);

    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glBegin(GL_QUADS);
    for (const BannerCorner& c : kCorners) {
        glTexCoord2f(c.s, c.t);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glVertex3f(c.x, c.y, 0.0f);
    }
    glEnd();
    glPopMatrix();
}
