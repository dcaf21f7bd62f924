// show_state.h: everything the show builds once at start and the frame reads.
//
// makeShowState runs once and needs neither GL nor the assets, so the show can
// be made (and moved forward) while the window opens. It seeds the show's
// generator and fills the plus field, the square swarm and the ten greeting
// banners in a fixed order, so every run places and spins every element
// identically. Once the assets are loaded, resolveShowAssets fills
// state.assets (see show_assets.h); buildShowState does both at once.
// Element draws pick their colour with paletteColour(state, slot). What changes
// from frame to frame besides the elements (flash values, ramps, the light's
// matrices, the beat detector) belongs to the show that draws this state.
// destroyShowState releases the element data; the owner of the unique_ptr then
// drops the object.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/random.h"
#include "scene/show_assets.h"
#include "scene/square_swarm.h"
#include "scene/vec.h"

class MusicPlayer;
class ProgramRegistry;
class TextureRegistry;

constexpr uint32_t kShowSeed = 564132;

struct ShowState {
    explicit ShowState(MusicPlayer& music)
        : music(music)
    {
    }

    MusicPlayer& music;  // its spectrum feeds the beat detector once per frame
    ShowAssets assets;   // the handles every draw uses, the blur targets among them

    ShowRandom random;
    std::array<Rgba, 3> elementPalette {};
    int materialSet = 0;

    PlusField plus;
    SquareSwarm swarm;
    std::vector<GreetingBanner> greetingBanners;
};

// The element palette colour of `slot` (0..2) under the current material set.
Rgba paletteColour(const ShowState& state, int slot);

// Makes the state's elements for the music, with every asset handle null.
std::unique_ptr<ShowState> makeShowState(MusicPlayer& music);

// makeShowState, then the handles looked up in the loaded registries. Assets
// missing from the registries are left null (see show_assets.h).
std::unique_ptr<ShowState> buildShowState(MusicPlayer& music, ProgramRegistry& programs, TextureRegistry& textures);

// Releases the element data (the trail emitter and the cell arrays).
void destroyShowState(ShowState& state);
