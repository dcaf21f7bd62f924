// show_frame_state.h: what the show carries from one frame to the next, beside
// the scene it draws.
//
//   auto scene = buildShowState();
//   ShowFrameState show(*scene, music);
//   if (!resolveShowAssets(programs, textures, show.assets, error)) { report error; stop; }
//
// The frame driver (show/frame_driver.h) writes it once per frame; the
// timeline and the lighting read what they need of it.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "audio/beat_detector.h"
#include "audio/frequency_analysis.h"
#include "show/colour_fades.h"
#include "show/frame_values.h"
#include "show/lighting.h"
#include "show/show_assets.h"

class MusicPlayer;
class PassTimer;
struct ShowState;

// A GL error raised during a frame: the pass it came from (one of passNames(),
// or null when it was waiting before the first pass) and its GL name.
struct PassGlError {
    const char* pass;
    std::string error;  // "GL_INVALID_VALUE"
};
using PassGlErrorSink = std::function<void(const PassGlError&)>;

struct ShowFrameState {
    ShowFrameState(ShowState& scene, const MusicPlayer& music)
        : scene(scene)
        , music(music)
    {
    }

    ShowState& scene;
    const MusicPlayer& music;                      // whose spectrum the frames read
    std::array<float, kSpectrumBins> spectrum {};  // the latest read; the plus field's sprites follow it
    ShowAssets assets;                             // what the passes draw with
    BeatDetector beats;
    FrameValues frame;    // flash values and camera, written once per frame
    LightMatrices light;  // written by the shadow pass, read by the backdrop
    FadeState fades;
    PassTimer* passTimer = nullptr;  // when set, stamps the start of each of the passNames() passes
    // When set, asks GL for errors as each pass ends (a wait for the GPU: debug builds only).
    PassGlErrorSink glErrors;
};
