// banner.h: one lit, textured rectangle carrying a logo or a line of text.
//
// The banner keeps no state: the timeline computes its fade, mosaic grid and
// position and calls drawBanner in each pass with the pass's current program.
// Precondition: modelview mode with the pass's view loaded. It draws unblended,
// textured on unit 0, with every other draw switch off; the texture is left
// bound on unit 0.
#pragma once

#include "scene/vec.h"

struct TextureEntry;
struct TexturedProgram;

// The quad is 12 x 3 scene units in its own z = 0 plane, centred on its position.
constexpr float kBannerHalfWidth = 6.0f;
constexpr float kBannerHalfHeight = 1.5f;

// Draws the banner centred on position.xyz with material colour x fade (alpha
// fade). A missing (null) texture draws with whatever is bound on unit 0.
// pixelate is handed to the program's "pixelate" uniform (512 or more: sharp).
void drawBanner(const TexturedProgram& program, const Rgba& colour, float fade, const TextureEntry* texture,
    float pixelate, const Vec4& position);
