// plus_field.cpp: trail emitter, per-call drift and the "PLUS" sprite draw.
#include "scene/plus_field.h"

#include <algorithm>
#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"
#include "scene/ramp.h"
#include "scene/schedule.h"

namespace {

constexpr int kSpectrumTopBin = 64;
constexpr float kSharpPixelate = 1024.0f;

// Every sprite spins about this axis, tilted so the turn reads in depth.
constexpr float kSpinAxisX = 0.5f, kSpinAxisY = 1.0f, kSpinAxisZ = 0.1f;

void layParticleIfDue(TrailEmitter& emitter, int e, ShowRandom& random)
{
    if (emitter.dropTimer[e] < emitter.dropInterval)
        return;
    emitter.nextDrop[e] += 1;
    // The overshoot is dropped on purpose: a long frame lays one particle, not several.
    emitter.dropTimer[e] = 0.0f;
    emitter.dropCount[e] += 1;
    if (emitter.dropCount[e] >= emitter.dropsPerHeading) {
        emitter.dropCount[e] = 0;
        emitter.headings[e] = randomAxisHeading(random);
    }
}

void drawSprite(const PlusSprite& sprite)
{
    const float h = sprite.half;
    glPushMatrix();
    glTranslatef(sprite.translate.x, sprite.translate.y, sprite.translate.z);
    glRotatef(sprite.angle, kSpinAxisX, kSpinAxisY, kSpinAxisZ);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(-h, h, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(h, h, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(h, -h, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(-h, -h, 0.0f);
    glEnd();
    glPopMatrix();
}

}  // namespace

TrailEmitter makeTrailEmitter(const std::vector<Vec4>& emitterPositions, const std::vector<Vec4>& headings,
    int particleCount, int dropsPerHeading, float dropInterval)
{
    TrailEmitter emitter;
    emitter.particleCount = particleCount;
    emitter.dropsPerHeading = dropsPerHeading;
    emitter.dropInterval = dropInterval;
    const int emitters = static_cast<int>(std::min(emitterPositions.size(), headings.size()));
    if (emitters == 0 || particleCount <= 0)
        return emitter;
    const int per = particleCount / emitters;
    emitter.particlesPerEmitter = per;
    emitter.positions.reserve(static_cast<size_t>(per) * emitters);
    for (int e = 0; e < emitters; ++e) {
        const Vec4& p = emitterPositions[e];
        emitter.positions.insert(emitter.positions.end(), per, Vec4 {p.x, p.y, p.z, 1.0f});
        const Vec4& h = headings[e];
        emitter.headings.push_back(Vec4 {h.x, h.y, h.z, 1.0f});
        emitter.nextDrop.push_back(e * per);
        emitter.dropTimer.push_back(0.0f);
        emitter.dropCount.push_back(0);
    }
    return emitter;
}

Vec4 randomAxisHeading(ShowRandom& random)
{
    const float u = random.unit();
    if (u <= 0.25f)
        return Vec4 {-1.0f, 0.0f, 0.0f, 0.0f};
    if (u <= 0.5f)
        return Vec4 {0.0f, -1.0f, 0.0f, 0.0f};
    if (u <= 0.75f)
        return Vec4 {1.0f, 0.0f, 0.0f, 0.0f};
    return Vec4 {0.0f, 1.0f, 0.0f, 0.0f};
}

void advanceTrailEmitter(TrailEmitter& emitter, float step, ShowRandom& random)
{
    const int per = emitter.particlesPerEmitter;
    const int emitters = static_cast<int>(emitter.headings.size());
    for (int e = 0; e < emitters; ++e) {
        const int end = (e + 1) * per;
        if (emitter.nextDrop[e] >= end)
            continue;
        const Vec4& h = emitter.headings[e];
        for (int i = emitter.nextDrop[e]; i < end; ++i) {
            Vec4& p = emitter.positions[i];
            p.x += (h.x * step) * 1.5f;
            p.y += (h.y * step) * 1.5f;
            p.z += (h.z * step) * 1.5f;
        }
        emitter.dropTimer[e] += step;
        layParticleIfDue(emitter, e, random);
    }
}

void buildPlusField(PlusField& field)
{
    const std::vector<Vec4> positions = {
        {24.0f, 3.0f, -6.0f, 1.0f},
        {23.0f, 2.0f, -6.0f, 1.0f},
        {22.0f, 1.0f, -6.0f, 1.0f},
        {21.0f, 0.0f, -6.0f, 1.0f},
    };
    const std::vector<Vec4> headings(4, Vec4 {-1.0f, 0.0f, 0.0f, 1.0f});
    field.emitter = makeTrailEmitter(positions, headings, kPlusParticleCount, 125, 0.5f);
}

void fillPlusParticles(PlusField& field, ShowRandom& random)
{
    for (int i = 0; i < kPlusParticleCount; ++i) {
        Vec4& d = field.driftDirection[i];
        d.x = random.unit();
        d.y = random.unit();
        d.z = random.unit();
        d.w = 0.0f;
        // The offset is added in double and rounded once, which fixes the last bit.
        field.driftRate[i] = static_cast<float>(static_cast<double>(random.unit() * 0.25f) + 0.01);
        field.spinAngle[i] = random.unit() * 250.0f;
    }
}

int plusSpectrumBin(float x)
{
    // Written so that a NaN position reads bin 0 rather than an arbitrary index.
    if (!(x > -30.0f))
        return 0;
    if (x >= 30.0f)
        return kSpectrumTopBin;
    const int bin = static_cast<int>((x + 30.0f) / 60.0f * 64.0f);
    return std::clamp(bin, 0, kSpectrumTopBin);
}

float plusSpriteSize(float level)
{
    const float wave = static_cast<float>(std::sin(static_cast<double>(level * 10.0f)));
    return (wave + 0.5f) * 2.0f + 0.15f;
}

PlusSprite plusSprite(const PlusField& field, int index, float scatter, std::span<const float> spectrum)
{
    const Vec4& p = field.emitter.positions[index];
    const auto bin = static_cast<size_t>(plusSpectrumBin(p.x));
    const float level = bin < spectrum.size() ? spectrum[bin] : 0.0f;
    const float g = plusSpriteSize(level);
    const float f = (1.0f - scatter) * g;
    PlusSprite sprite;
    sprite.translate = Vec4 {p.x, (f * 0.5f + 1.0f) * p.y + 2.5f, p.z - 9.0f + f * 2.0f, 1.0f};
    sprite.angle = field.spinAngle[index] * scatter;
    sprite.half = g * 0.35f;
    return sprite;
}

int plusDrawCount(const PlusField& field)
{
    const int stored = static_cast<int>(std::min<size_t>(field.emitter.positions.size(), kPlusParticleCount));
    return std::clamp(field.emitter.particleCount, 0, stored);
}

void planPlusField(PlusField& field, uint32_t t, float step)
{
    if (!within(t, kPlusWindow.scatterFromMs, kPlusWindow.endMs))
        return;
    field.scatter = rise(field.scatter, 0.25f, step, 1.0f);
    field.fade = fall(field.fade, 0.05f, step, 0.0f);
    for (int k = 0; k < kPlusParticleCount; ++k)
        field.spinAngle[k] += field.driftRate[k] * step * 10.0f;
}

void advancePlusField(PlusField& field, float step, ShowRandom& random)
{
    advanceTrailEmitter(field.emitter, step, random);
    const float scatter = field.scatter;
    const int count = plusDrawCount(field);
    for (int i = 0; i < count; ++i) {
        Vec4& p = field.emitter.positions[i];
        const Vec4& d = field.driftDirection[i];
        const float rate = field.driftRate[i];
        p.x += scatter * (d.x * rate);
        p.y += scatter * (d.y * rate);
        p.z += scatter * (d.z * rate);
    }
}

void drawPlusField(const PlusField& field, const TextureEntry* texture, const TexturedProgram& program,
    const Rgba& colour, std::span<const float> spectrum)
{
    applyMaterial(colour, field.fade);
    applyDrawState({.blend = Blend::Alpha, .texturing = Texturing::Unit0});
    bindProgramTexture(texture, program.tex);
    ProgramRegistry::setFloats(*program.pixelate, kSharpPixelate);
    const int count = plusDrawCount(field);
    for (int i = 0; i < count; ++i)
        drawSprite(plusSprite(field, i, field.scatter, spectrum));
}
