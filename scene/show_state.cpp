// show_state.cpp: builds the show's generated data in its fixed draw order.
#include "scene/show_state.h"

#include "scene/schedule.h"

namespace {

constexpr Rgba paletteEntry(int r, int g, int b)
{
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f, 1.0f};
}

// Slot 0: plus field, swarm and half the greetings; slot 1: title, credit and the
// other greetings; slot 2: floor and back wall.
constexpr std::array<Rgba, 3> kElementPalette
    = {paletteEntry(177, 68, 115), paletteEntry(209, 187, 80), paletteEntry(52, 134, 116)};

constexpr float kGreetingCellSize = 0.025f;

}  // namespace

Rgba paletteColour(const ShowState& state, int slot)
{
    const int index = state.materialSet * 3 + slot;
    if (index < 0 || index >= static_cast<int>(state.elementPalette.size()))
        return {};
    return state.elementPalette[index];
}

std::unique_ptr<ShowState> makeShowState(MusicPlayer& music)
{
    auto state = std::make_unique<ShowState>(music);
    state->random.seed(kShowSeed);
    state->elementPalette = kElementPalette;
    state->materialSet = 0;

    // The order of the generator's draws fixes every value: plus field, swarm, greetings.
    buildPlusField(state->plus);
    fillPlusParticles(state->plus, state->random);
    buildSquareSwarm(state->swarm, state->random);
    state->greetingBanners.reserve(kGreetingRows.size());
    for (const GreetingRow& row : kGreetingRows)
        state->greetingBanners.push_back(buildGreetingBanner(
            row.textureKey, row.startMs, row.endMs, row.paletteSlot, kGreetingCellSize, state->random));
    return state;
}

std::unique_ptr<ShowState> buildShowState(MusicPlayer& music, ProgramRegistry& programs, TextureRegistry& textures)
{
    std::unique_ptr<ShowState> state = makeShowState(music);
    resolveShowAssets(programs, textures, state->assets);
    return state;
}

void destroyShowState(ShowState& state)
{
    state.plus.emitter = TrailEmitter {};
    state.greetingBanners.clear();
    state.greetingBanners.shrink_to_fit();
}
