// Draws the fades to and from black as full-frame quads over the composed frame.
#include "show/colour_fades.h"

#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/screen_quad.h"

int planFades(FadeState& state, uint32_t now, std::array<FadeQuad, kFadeTable.size()>& out)
{
    int count = 0;
    for (size_t i = 0; i < kFadeTable.size(); ++i) {
        if (state.done[i])
            continue;
        const FadeEntry& entry = kFadeTable[i];
        const auto start = static_cast<uint32_t>(entry.start);
        const auto end = static_cast<uint32_t>(entry.end);
        if (start <= now && now <= end) {
            const float nowF = static_cast<float>(static_cast<double>(now));
            const float rate = static_cast<float>(
                std::fabs(static_cast<double>((entry.toAlpha - entry.fromAlpha) / (entry.end - entry.start))));
            out[count++] = {&entry, rate * (nowF - entry.start)};
        } else if (now > end) {
            out[count++] = {&entry, 1.0f};
            state.done[i] = true;
        }
    }
    return count;
}

bool fadesCover(const FadeState& state, uint32_t now)
{
    FadeState planned = state;
    std::array<FadeQuad, kFadeTable.size()> quads;
    const int count = planFades(planned, now, quads);
    for (int i = 0; i < count; ++i) {
        const FadeEntry& e = *quads[i].entry;
        if (fadeColour(e.fromR, e.fromG, e.fromB, e.toR, e.toG, e.toB, e.fromAlpha, e.toAlpha, quads[i].t)[3] >= 1.0f)
            return true;
    }
    return false;
}

void advanceFades(FadeState& state, uint32_t now)
{
    std::array<FadeQuad, kFadeTable.size()> ignored;
    planFades(state, now, ignored);
}

std::array<float, 4> fadeColour(float r0, float g0, float b0, float r1, float g1, float b1, float a0, float a1, float t)
{
    const float u = 1.0f - t;
    return {u * r0 + t * r1, u * g0 + t * g1, u * b0 + t * b1, u * a0 + t * a1};
}

void drawFades(FadeState& state, uint32_t now)
{
    std::array<FadeQuad, kFadeTable.size()> quads;
    const int count = planFades(state, now, quads);
    for (int i = 0; i < count; ++i) {
        const FadeEntry& e = *quads[i].entry;
        drawFadeQuad(e.fromR, e.fromG, e.fromB, e.toR, e.toG, e.toB, e.fromAlpha, e.toAlpha, quads[i].t);
    }
}

void drawFadeQuad(float r0, float g0, float b0, float r1, float g1, float b1, float a0, float a1, float t)
{
    const std::array<float, 4> colour = fadeColour(r0, g0, b0, r1, g1, b1, a0, a1, t);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);

    pushScreenProjection();

    applyDrawState({.blend = Blend::Alpha});
    glBegin(GL_QUADS);
    glVertex3f(-1, 1, -1);
    glVertex3f(1, 1, -1);
    glVertex3f(1, -1, -1);
    glVertex3f(-1, -1, -1);
    glEnd();

    popScreenProjection();
}
