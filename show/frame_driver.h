// frame_driver.h: renders one whole frame of the show into the window.
//
// renderFrame runs the beat detector on the music (when there is an audio back
// end), turns a beat into the flash values (light dip, chromatic bleed, banner
// push), renders the timeline twice into the frame target (from the light,
// then from the camera), blurs each picture before the next, and composes the
// window picture:
// the shadowed backdrop, the camera picture with its bleed, the added glow, the
// subtracted darkening overlay and the colour fades. It leaves the window
// framebuffer bound and the viewport it found restored; the attribute and
// matrix stacks end as deep as they began. With a sink set, each pass's GL
// errors are handed up as it ends. advanceFrame makes the same change to the
// state without a GL call, for frames that are skipped, and needs no assets.
//
//   auto scene = buildShowState(music);
//   ShowFrameState show(*scene);
//   if (!resolveShowAssets(programs, textures, show.assets, error)) { report error; stop; }
//   renderFrame(show, showTimeMs, frameStep, audio);   // once per drawn frame
//   advanceFrame(show, spectrum, showTimeMs, frameStep);  // once per skipped one
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "audio/beat_detector.h"
#include "show/colour_fades.h"
#include "show/frame_values.h"
#include "show/lighting.h"
#include "show/pass_names.h"
#include "show/show_assets.h"
#include "show/timeline.h"

class AudioBackend;
class PassTimer;
struct ShowState;

// A GL error raised during a frame: the pass it came from (one of passNames(),
// or null when it was waiting before the first pass) and its GL name.
struct PassGlError {
    const char* pass;
    std::string error;  // "GL_INVALID_VALUE"
};
using PassGlErrorSink = std::function<void(const PassGlError&)>;

// What the show carries from one frame to the next, beside the scene it draws.
struct ShowFrameState {
    explicit ShowFrameState(ShowState& scene)
        : scene(scene)
    {
    }

    ShowState& scene;
    ShowAssets assets;  // what the passes draw with
    BeatDetector beats;
    FrameValues frame;       // flash values and camera, written once per frame
    TimelineState timeline;  // banner ramps, plusScatter, plusFade, swarmHeight
    LightMatrices light;     // written by the shadow pass, read by the backdrop
    FadeState fades;
    PassTimer* passTimer = nullptr;  // when set, stamps the start of each of the passNames() passes
    // When set, asks GL for errors as each pass ends (a wait for the GPU: debug builds only).
    PassGlErrorSink glErrors;
};

// One frame at show time t (ms) with frame step s; `audio` may be null (no beats).
void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio);

// A frame whose colour fades cover it whole (fadesCover): the state change
// renderFrame makes and the same picture, the fades alone laid over the
// whole w x h window framebuffer. It uses no program, texture or render
// target, so it can be drawn before the assets are loaded.
void renderCoveredFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio, int w, int h);

// The frame's spectrum: the music's magnitudes at the back end's playback
// position, read into the music's buffer; null when there is no audio at all.
const float* readFrameSpectrum(ShowFrameState& show, AudioBackend* audio);

// The state change every frame makes before its passes, without GL: the beat
// detector on `spectrum` (null leaves the detector alone, as a show without
// audio does), then the flash values and the camera sway.
void beginFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s);

// A whole frame's state change without drawing, exactly as renderFrame makes it:
// beginFrame, the timeline's shadow-pass run and its camera-pass run, then the
// fades the frame would retire.
void advanceFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s);

// How far back the music still reaches into a frame that follows frames at
// most `frameMs` apart: the detector's history, then the time the flash values
// take to come back to rest, with frames to spare. Frames further back may be
// advanced without their spectrum (null) and the frame comes out the same,
// bit for bit: whatever beats they would have had have died away by then.
uint32_t beatReachMs(const ShowFrameState& show, uint32_t frameMs);

// True when any analysed band of the detector raised its beat flag this frame.
bool anyBandBeat(const BeatDetector& beats);
