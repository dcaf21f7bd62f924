// banner.h: one lit, textured rectangle carrying a logo or a line of text.
//
// Each banner of the schedule's kBannerWindows has a BannerState: once per pass
// inside its window planBanner moves its fade, mosaic grid and wobble and
// places it (plain code, no GL), then drawBanner draws it with the pass's
// current program. Precondition: modelview mode with the pass's view loaded.
// It draws unblended, textured on unit 0, with every other draw switch off;
// the texture is left bound on unit 0.
#pragma once

#include <cstdint>

#include "scene/schedule.h"
#include "scene/vec.h"

struct TextureEntry;
struct TexturedProgram;

// The quad is 12 x 3 scene units in its own z = 0 plane, centred on its position.
constexpr float kBannerHalfWidth = 6.0f;
constexpr float kBannerHalfHeight = 1.5f;

struct BannerState {
    float fade = 0.0f;      // material level, 0 invisible .. 1 full
    float pixelate = 2.0f;  // mosaic grid handed to the program; 512 or more is sharp
    float phase = 0.0f;     // wobble phase in radians
    Vec4 position {};       // where the latest plan placed it
};

// The banner's ramps at show time t inside its window: the fade rises until
// riseUntilMs and falls from fallFromMs, the grid sharpens, the wobble turns;
// beatPulse pushes "GALDER" and "QN" out of place.
void planBanner(BannerState& banner, BannerId id, uint32_t t, float step, float beatPulse);

// Draws the banner centred on position.xyz with material colour x fade (alpha
// fade). A missing (null) texture draws with whatever is bound on unit 0.
// pixelate is handed to the program's "pixelate" uniform (512 or more: sharp).
void drawBanner(const TexturedProgram& program, const Rgba& colour, float fade, const TextureEntry* texture,
    float pixelate, const Vec4& position);
