// greeting_banner.h: a greeting that drops into place, sharpens and bursts.
//
// The banner image is cut into a grid of square cells (80 x 10 at cell size
// 0.025); each cell is its own textured quad with a random burst direction, speed
// and tilt. Inside its window [start, end] the banner falls from y offset 20 to 4.5,
// sharpens from pixelate 2 towards 512, and from end - 1500 its cells fly apart
// while the level fades out over the last 125 ms.
//
// Use: buildGreetingBanner once per greeting at start (five generator draws per
// cell, row by row), then every pass for every banner updateGreetingBanner (plain
// code, no GL) followed by drawGreetingBanner, which only reads the record. Both
// act only inside the banner's window. Nothing allocates while drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/image_handles.h"
#include "scene/random.h"
#include "scene/vec.h"

struct TextureEntry;
struct TexturedProgram;

struct GreetingBanner {
    uint32_t startMs = 0;  // first show time drawn
    uint32_t endMs = 0;    // last show time drawn
    int paletteSlot = 0;
    float yOffset = 20.0f;
    float pixelate = 2.0f;
    float level = 1.0f;
    float cellSize = 0.025f;
    float scatter = 0.0f;        // burst progress, 0..1
    float materialLevel = 1.0f;  // the level drawn: the level before the latest update's advance
    ImageId image = ImageId::Torvale;
    std::vector<Vec4> cellPositions;   // lower-left corner of each cell's quad
    std::vector<Vec4> cellTexCoords;   // 2k: (uLeft, vTop), 2k + 1: (uRight, vBottom)
    std::vector<Vec4> cellDirections;  // burst direction, components in [0, 1)
    std::vector<float> cellSpeeds;     // [1.25, 2)
    std::vector<float> cellTilts;      // degrees, [0, 2 pi)
};

// Builds the record and its cells. A cell size that is not positive, or so small
// that the grid would be absurd, gives a banner without cells (it still animates).
GreetingBanner buildGreetingBanner(
    ImageId image, uint32_t startMs, uint32_t endMs, int paletteSlot, float cellSize, ShowRandom& random);

// True while start <= t <= end.
bool greetingVisible(const GreetingBanner& banner, uint32_t t);

// The step-scaled rules in their fixed order: level up, level down (last 125 ms),
// scatter up (last 1500 ms), pixelate up, y offset down.
void advanceGreetingBanner(GreetingBanner& banner, float step, uint32_t t);

// Moves every cell by direction x speed x (scatter / 20); not scaled by step.
void burstGreetingCells(GreetingBanner& banner);

// One pass's worth of state change. Returns false (and changes nothing) outside
// the window; otherwise keeps the level from before the advance in
// materialLevel, advances the rules, then bursts the cells.
bool updateGreetingBanner(GreetingBanner& banner, float step, uint32_t t);

// Draws the banner's cells as they stand, blended with `texture`, its image
// (binding skipped when null), when t lies in its window; colour is the palette
// colour of its slot.
void drawGreetingBanner(const GreetingBanner& banner, const TextureEntry* texture, const TexturedProgram& program,
    const Rgba& colour, uint32_t t);
