// frame_driver.h: renders one frame of the show into the window.
//
// renderFrame reads the show time and frame step from state.app (which must be
// set), runs the beat detector, turns a beat into the flash values (light dip,
// chromatic bleed, banner push), renders the timeline twice (from the light
// into "RT_DEFAULT1", from the camera into "RT_DEFAULT2"), blurs both, and
// composes the window picture: the shadowed backdrop, the camera picture with
// its bleed, the added glow and the subtracted darkening overlay.
//
// Hand-off to the main loop: the window framebuffer is left bound and exactly one
// viewport saved with glPushAttrib(GL_VIEWPORT_BIT) is left on the attribute
// stack; the main loop draws the colour fades, then pops it. The current
// viewport is the full-size frame-target viewport. A missing frame render target
// is skipped (its pass draws into whatever is bound); the hand-off is the same.
#pragma once

#include "audio/beat_detector.h"

struct ShowState;

void renderFrame(ShowState& state);

// The frame's spectrum: the music's magnitudes at the back end's playback
// position, read into the music's buffer; null when there is no audio at all.
const float* readFrameSpectrum(ShowState& state, AudioBackend* audio);

// The state change every frame makes before its passes, without GL: the beat
// detector on `spectrum` (null leaves the detector alone, as a show without
// audio does), then the flash values and the camera sway.
void beginFrame(ShowState& state, const float* spectrum, uint32_t t, float s);

// A whole frame's state change without drawing, exactly as renderFrame makes it:
// beginFrame, then the timeline's shadow-pass run and its camera-pass run.
void advanceFrame(ShowState& state, const float* spectrum, uint32_t t, float s);

// True when any analysed band of the detector raised its beat flag this frame.
bool anyBandBeat(const BeatDetector& beats);
