// colour_fades.cpp: which fades a frame draws, their colours and their quads.
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
        if (fadeColour(quads[i])[3] >= 1.0f)
            return true;
    }
    return false;
}

void advanceFades(FadeState& state, uint32_t now)
{
    std::array<FadeQuad, kFadeTable.size()> ignored;
    planFades(state, now, ignored);
}

std::array<float, 4> fadeColour(const FadeQuad& quad)
{
    const FadeEntry& e = *quad.entry;
    const float t = quad.t;
    const float u = 1.0f - t;
    return {u * e.fromR + t * e.toR, u * e.fromG + t * e.toG, u * e.fromB + t * e.toB, u * e.fromAlpha + t * e.toAlpha};
}

void drawFades(FadeState& state, uint32_t now, OpaqueFade opaque)
{
    std::array<FadeQuad, kFadeTable.size()> quads;
    const int count = planFades(state, now, quads);
    for (int i = 0; i < count; ++i) {
        const std::array<float, 4> colour = fadeColour(quads[i]);
        if (opaque == OpaqueFade::Clear && colour[3] >= 1.0f) {
            glClearColor(colour[0], colour[1], colour[2], 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            continue;
        }
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
}
