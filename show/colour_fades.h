// colour_fades.h: the fade in from black and the fade out to black.
//
// Once per frame, after the frame is composed into the window framebuffer and
// before the viewport is restored, renderFrame calls drawFades(). Each entry
// of the fade table whose window holds the show time lays one full-screen quad
// of an interpolated colour over the picture; the first frame past an entry's
// window draws its final colour once more and retires the entry for good.
// planFades() is the same decision without GL, for tests.
//
//   FadeState fades;            // every entry still to come
//   drawFades(fades, showTimeMs);
#pragma once

#include <array>
#include <cstdint>

#include "scene/schedule.h"

struct FadeState {
    std::array<bool, kFadeTable.size()> done {};
    void reset() { done.fill(false); }
};

// One quad to draw: an entry's colours and the fraction t between them.
struct FadeQuad {
    const FadeEntry* entry = nullptr;
    float t = 0.0f;
};

// Decides the quads for `now` in table order and retires entries whose window
// has passed. Returns how many of `out` were filled.
int planFades(FadeState& state, uint32_t now, std::array<FadeQuad, kFadeTable.size()>& out);

// The colour at t between (r0, g0, b0, a0) and (r1, g1, b1, a1), in single precision.
std::array<float, 4> fadeColour(
    float r0, float g0, float b0, float r1, float g1, float b1, float a0, float a1, float t);

// True when a quad drawn at `now` is fully opaque: it hides whatever the
// frame drew before it, so such a frame need draw nothing but its fades.
bool fadesCover(const FadeState& state, uint32_t now);

// Retires the entries a frame at `now` would retire, without drawing.
void advanceFades(FadeState& state, uint32_t now);

// Draws the quads planFades() chooses for `now` over the viewport, as drawFadeQuad does.
void drawFades(FadeState& state, uint32_t now);

// One full-viewport quad in the colour fadeColour() gives, alpha-blended with
// every other draw switch off (no texturing, no lighting); matrices are
// restored and the matrix mode is left at GL_MODELVIEW.
void drawFadeQuad(float r0, float g0, float b0, float r1, float g1, float b1, float a0, float a1, float t);
