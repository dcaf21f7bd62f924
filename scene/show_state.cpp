// show_state.cpp: the palette, and the show's generated data built in row order.
#include "scene/show_state.h"

namespace {

constexpr Rgba paletteEntry(int r, int g, int b)
{
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f, 1.0f};
}

// Slot 0: plus field, swarm and half the greetings; slot 1: title, credit and the
// other greetings; slot 2: floor and back wall.
constexpr std::array<Rgba, 3> kElementPalette
    = {paletteEntry(177, 68, 115), paletteEntry(209, 187, 80), paletteEntry(52, 134, 116)};

}  // namespace

Rgba paletteColour(const ShowState& state, int slot)
{
    const int index = state.materialSet * 3 + slot;
    if (index < 0 || index >= static_cast<int>(state.elementPalette.size()))
        return {};
    return state.elementPalette[index];
}

std::unique_ptr<ShowState> buildShowState()
{
    auto state = std::make_unique<ShowState>();
    state->random.seed(kShowSeed);
    state->elementPalette = kElementPalette;
    state->materialSet = 0;
    for (const SceneRow& row : kSceneRows) {
        if (row.build)
            row.build(*state);
    }
    return state;
}

void destroyShowState(ShowState& state)
{
    state.plus.emitter = TrailEmitter {};
    state.greetingBanners.clear();
    state.greetingBanners.shrink_to_fit();
}
