// square_swarm.h: the ring of 200 open, tumbling boxes textured with "SQUARE".
//
// Boxes sit on a ring of radius 12 about the z axis through the swarm centre
// (0, height, -8); each orbits the centre and tumbles at four times its orbit angle.
//
// Use: buildSquareSwarm once at start (seven generator draws per box), then, once
// per pass while the stretch runs, planSquareSwarm (the height) and
// advanceSquareSwarm (the angles), both without GL, followed by drawSquareSwarm,
// which only reads the swarm. Nothing allocates while drawing.
#pragma once

#include <array>
#include <cstdint>

#include "scene/random.h"
#include "scene/vec.h"

struct TextureEntry;
struct TexturedProgram;

constexpr int kSwarmBoxCount = 200;

struct SquareSwarm {
    std::array<Vec4, kSwarmBoxCount> ringPosition {};  // relative to the swarm centre
    std::array<float, kSwarmBoxCount> spinRate {};
    std::array<float, kSwarmBoxCount> spinAngle {};  // orbit angle, degrees
    std::array<float, kSwarmBoxCount> halfSize {};
    float height = 35.0f;  // of the swarm's centre, 15..45
};

void buildSquareSwarm(SquareSwarm& swarm, ShowRandom& random);

// angle + (rate x step) x 20: the product in single precision, the rest in double,
// rounded back to single.
float advanceSwarmAngle(float angle, float rate, float step);

// The height at show time t: the swarm drops until kSwarmWindow.landedMs and
// lifts from kSwarmWindow.liftFromMs.
void planSquareSwarm(SquareSwarm& swarm, uint32_t t, float step);

// Advances every box's angle once.
void advanceSquareSwarm(SquareSwarm& swarm, float step);

// Applies the material (colour, level 1) and draws the boxes at their angles
// around (0, height, -8), unblended, with `texture`, "SQUARE" (binding skipped
// when null).
void drawSquareSwarm(
    const SquareSwarm& swarm, const TextureEntry* texture, const TexturedProgram& program, const Rgba& colour);
