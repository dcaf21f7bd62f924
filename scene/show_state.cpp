// show_state.cpp: builds the show's generated data in its fixed draw order.
#include "scene/show_state.h"

#include "gfx/texture_registry.h"

namespace {

constexpr Rgba paletteEntry(int r, int g, int b)
{
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f,
            1.0f};
}

// Slot 0: plus field, swarm and half the greetings; slot 1: title, credit and the
// other greetings; slot 2: floor and back wall.
constexpr std::array<Rgba, 3> kElementPalette = {paletteEntry(177, 68, 115), paletteEntry(209, 187, 80),
                                                 paletteEntry(52, 134, 116)};

constexpr const char* kBlurTargetKeys[4] = {"RT_BLUR1", "RT_BLUR2", "RT_BLUR3", "RT_BLUR4"};

struct GreetingRow {
    const char* key;
    uint32_t startMs;
    uint32_t endMs;
    int paletteSlot;
};

// One greeting every two seconds, each overlapping the next by one, colours alternating.
constexpr GreetingRow kGreetings[10] = {
    {"TORVALE", 89000, 92000, 1}, {"MISKEN", 91000, 94000, 0}, {"ORB", 93000, 96000, 1},
    {"PELLIN", 95000, 98000, 0},  {"QUARDE", 97000, 100000, 1}, {"SOLVIK", 99000, 102000, 0},
    {"TB", 101000, 104000, 1},    {"UL", 103000, 106000, 0},    {"VESKA", 105000, 108000, 1},
    {"WENLO", 107000, 110000, 0},
};

constexpr float kGreetingCellSize = 0.025f;

}  // namespace

Rgba paletteColour(const ShowState& state, int slot)
{
    const int index = state.materialSet * 3 + slot;
    if (index < 0 || index >= static_cast<int>(state.elementPalette.size()))
        return {};
    return state.elementPalette[index];
}

std::unique_ptr<ShowState> buildShowState(MusicPlayer& music, ProgramRegistry& programs, TextureRegistry& textures)
{
    auto state = std::make_unique<ShowState>(music, programs, textures);
    state->random.seed(kShowSeed);
    state->elementPalette = kElementPalette;
    state->materialSet = 0;
    for (int i = 0; i < 4; ++i)
        state->blurTargets[i] = textures.findRenderTarget(kBlurTargetKeys[i]);

    // The order of the generator's draws fixes every value: plus field, swarm, greetings.
    buildPlusField(state->plus);
    fillPlusParticles(state->plus, state->random);
    buildSquareSwarm(state->swarm, state->random);
    state->greetingBanners.reserve(std::size(kGreetings));
    for (const GreetingRow& row : kGreetings)
        state->greetingBanners.push_back(buildGreetingBanner(row.key, row.startMs, row.endMs, row.paletteSlot,
                                                             kGreetingCellSize, state->random));
    return state;
}

void destroyShowState(ShowState& state)
{
    state.plus.emitter = TrailEmitter{};
    state.greetingBanners.clear();
    state.greetingBanners.shrink_to_fit();
}
