// plus_field.h: the opening stretch's 500 "PLUS" sprites laid in four growing trails.
//
// A TrailEmitter carries four clumps of particles along their headings and leaves
// one particle behind every drop interval, so four trails grow across the scene.
// Each sprite is sized and lifted by the music spectrum at its x position; from
// the window's scatterFromMs on, the field's scatter ramp drifts and spins the
// sprites and its fade ramp dims them.
//
// Use: buildPlusField + fillPlusParticles once at start (in the show's draw order),
// then, once per pass while the stretch runs, planPlusField (the ramps) and
// advancePlusField (the emitter and the drift), both without GL, followed by
// drawPlusField, which only reads the field.
// Nothing here allocates after construction.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/random.h"
#include "scene/vec.h"

struct TextureEntry;
struct TexturedProgram;

constexpr int kPlusParticleCount = 500;

struct TrailEmitter {
    int particleCount = 0;      // particles drawn
    int dropsPerHeading = 0;    // drops before an emitter takes a new heading
    float dropInterval = 0.0f;  // step accumulated between two drops
    int particlesPerEmitter = 0;
    std::vector<Vec4> positions;   // particleCount entries when the lists are consistent
    std::vector<Vec4> headings;    // one per emitter
    std::vector<int> nextDrop;     // first particle still riding with emitter e
    std::vector<int> dropCount;    // drops since the last change of heading
    std::vector<float> dropTimer;  // step accumulated since the last drop
};

// Builds an emitter from matching lists of emitter positions and headings (w is set
// to 1). An empty list gives an emitter with no particles.
TrailEmitter makeTrailEmitter(const std::vector<Vec4>& emitterPositions, const std::vector<Vec4>& headings,
    int particleCount, int dropsPerHeading, float dropInterval);

// One unit draw picks -x, -y, +x or +y (w = 0).
Vec4 randomAxisHeading(ShowRandom& random);

// Moves riding particles 1.5 x step along their emitter's heading and lays at most
// one particle per emitter per call; a new heading costs one generator draw.
void advanceTrailEmitter(TrailEmitter& emitter, float step, ShowRandom& random);

struct PlusField {
    TrailEmitter emitter;
    std::array<Vec4, kPlusParticleCount> driftDirection {};
    std::array<float, kPlusParticleCount> driftRate {};
    std::array<float, kPlusParticleCount> spinAngle {};  // degrees; spun while the field scatters
    float scatter = 0.0f;                                // 0..1
    float fade = 1.0f;                                   // material level, 1..0
};

// The show's emitter: four emitters at x = 24..21 heading -x, 500 particles,
// 125 drops per heading, drop interval 0.5. Takes no generator draws.
void buildPlusField(PlusField& field);

// Five draws per particle: drift direction (3), drift rate, spin angle.
void fillPlusParticles(PlusField& field, ShowRandom& random);

// Spectrum bin read by a sprite at x: x clamped to [-30, 30] maps onto 0..64.
int plusSpectrumBin(float x);

// Where and how one sprite is drawn, from its (already updated) position.
struct PlusSprite {
    Vec4 translate;      // x, y, z handed to glTranslatef
    float angle = 0.0f;  // degrees about (0.5, 1, 0.1)
    float half = 0.0f;   // half the quad's edge; negative turns the quad over
};

// A sprite's size factor g for the spectrum level at its position.
float plusSpriteSize(float level);

// spectrum: 1024 magnitudes, or empty for silence.
PlusSprite plusSprite(const PlusField& field, int index, float scatter, std::span<const float> spectrum);

// The ramps at show time t: from kPlusWindow.scatterFromMs the scatter rises,
// the fade falls and every sprite spins by its drift rate.
void planPlusField(PlusField& field, uint32_t t, float step);

// The per-call update: advance the emitter, then drift every particle by
// scatter x direction x rate (not scaled by step).
void advancePlusField(PlusField& field, float step, ShowRandom& random);

// Number of particles the draw visits (never beyond the stored arrays).
int plusDrawCount(const PlusField& field);

// Applies the material (colour, the field's fade) and draws every sprite where
// the field stands, blended with `texture`, "PLUS" (binding skipped when null).
// program is the pass's current program; spectrum may be empty.
void drawPlusField(const PlusField& field, const TextureEntry* texture, const TexturedProgram& program,
    const Rgba& colour, std::span<const float> spectrum);
