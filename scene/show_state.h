// show_state.h: everything the show builds once at start and the frame reads.
//
// buildShowState runs once, after the assets are loaded (it looks up the blur
// render targets), with the GL context current. It seeds the show's generator
// and fills the plus field, the square swarm and the ten greeting banners in a
// fixed order, so every run places and spins every element identically.
// Element draws pick their colour with paletteColour(state, slot). The frame
// driver keeps its flash values, the timeline its ramps and the shadow pass its
// light matrices here too. destroyShowState releases the element data; the owner
// of the unique_ptr then drops the object.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "audio/beat_detector.h"
#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/random.h"
#include "scene/square_swarm.h"
#include "scene/vec.h"
#include "show/frame_values.h"
#include "show/lighting.h"
#include "show/timeline.h"

struct DemoApplication;
class MusicPlayer;
class ProgramRegistry;
class TextureRegistry;
struct RenderTarget;

constexpr uint32_t kShowSeed = 564132;

struct ShowState {
    ShowState(DemoApplication* app, MusicPlayer& music, ProgramRegistry& programs,
              TextureRegistry& textures)
        : app(app), music(music), programs(programs), textures(textures)
    {
    }

    DemoApplication* app;  // show time and frame step; null only in tests that do not render
    MusicPlayer& music;
    ProgramRegistry& programs;
    TextureRegistry& textures;

    ShowRandom random;
    std::array<Rgba, 3> elementPalette{};
    int materialSet = 0;
    std::array<RenderTarget*, 4> blurTargets{};  // "RT_BLUR1".."RT_BLUR4"; null if missing

    PlusField plus;
    SquareSwarm swarm;
    std::vector<GreetingBanner> greetingBanners;

    BeatDetector beats;
    FrameValues frame;        // flash values and camera, written by renderFrame
    TimelineState timeline;   // banner ramps, plusScatter, plusFade, swarmHeight
    LightMatrices light;      // written by the shadow pass, read by the backdrop
};

// The element palette colour of `slot` (0..2) under the current material set.
Rgba paletteColour(const ShowState& state, int slot);

// Builds the state from the application record's registries and music.
std::unique_ptr<ShowState> buildShowState(DemoApplication& app);

// Same, from the parts directly (app may be null when nothing will be rendered).
std::unique_ptr<ShowState> buildShowState(DemoApplication* app, MusicPlayer& music,
                                          ProgramRegistry& programs, TextureRegistry& textures);

// Releases the element data (the trail emitter and the cell arrays).
void destroyShowState(ShowState& state);
