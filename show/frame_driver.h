// frame_driver.h: renders one whole frame of the show into the window.
//
// renderFrame runs the beat detector on the music (when there is an audio back
// end), turns a beat into the flash values (light dip, chromatic bleed, banner
// push), renders the timeline twice (from the light into "RT_DEFAULT1", from
// the camera into "RT_DEFAULT2"), blurs both, and composes the window picture:
// the shadowed backdrop, the camera picture with its bleed, the added glow, the
// subtracted darkening overlay and the colour fades. It leaves the window
// framebuffer bound and the viewport it found restored; the attribute and
// matrix stacks end as deep as they began. A missing frame render target is
// skipped (its pass draws into whatever is bound).
//
//   auto scene = buildShowState(music, programs, textures);
//   ShowFrameState show(*scene);
//   renderFrame(show, showTimeMs, frameStep, audio);   // once per frame
#pragma once

#include <cstdint>

#include "audio/beat_detector.h"
#include "show/colour_fades.h"
#include "show/frame_values.h"
#include "show/lighting.h"
#include "show/timeline.h"

class AudioBackend;
struct ShowState;

// What the show carries from one frame to the next, beside the scene it draws.
struct ShowFrameState {
    explicit ShowFrameState(ShowState& scene) : scene(scene) {}

    ShowState& scene;
    BeatDetector beats;
    FrameValues frame;       // flash values and camera, written once per frame
    TimelineState timeline;  // banner ramps, plusScatter, plusFade, swarmHeight
    LightMatrices light;     // written by the shadow pass, read by the backdrop
    FadeState fades;
};

// One frame at show time t (ms) with frame step s; `audio` may be null (no beats).
void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio);

// True when any analysed band of the detector raised its beat flag this frame.
bool anyBandBeat(const BeatDetector& beats);
