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
//   drawFades(fades, showTimeMs, OpaqueFade::Blend);
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

// The quad's colour at its t between its entry's from and to colours, in single precision.
std::array<float, 4> fadeColour(const FadeQuad& quad);

// True when a quad drawn at `now` is fully opaque: it hides whatever the
// frame drew before it, so such a frame need draw nothing but its fades.
bool fadesCover(const FadeState& state, uint32_t now);

// Retires the entries a frame at `now` would retire, without drawing.
void advanceFades(FadeState& state, uint32_t now);

// How a fully opaque quad reaches the picture. Blended over everything it
// leaves its colour at full alpha, which a clear of the bound framebuffer
// gives as well, without the renderer's first draw.
enum class OpaqueFade { Blend, Clear };

// Draws the quads planFades() chooses for `now` over the viewport, each one
// full-viewport quad alpha-blended with every other draw switch off (no
// texturing, no lighting); matrices are restored and the matrix mode is left
// at GL_MODELVIEW.
void drawFades(FadeState& state, uint32_t now, OpaqueFade opaque);
