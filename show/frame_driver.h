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
//   auto scene = buildShowState();
//   ShowFrameState show(*scene, music);
//   if (!resolveShowAssets(programs, textures, show.assets, error)) { report error; stop; }
//   renderFrame(show, showTimeMs, frameStep, audio);   // once per drawn frame
//   advanceFrame(show, spectrum, showTimeMs, frameStep);  // once per skipped one
#pragma once

#include <cstdint>
#include <optional>

#include "audio/beat_detector.h"
#include "show/pass_names.h"
#include "show/show_frame_state.h"

class AudioBackend;

// One frame at show time t (ms) with frame step s; `audio` may be null (no beats).
void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio);

// A frame whose colour fades cover it whole (fadesCover): the state change
// renderFrame makes and the same picture, the fades alone laid over the
// whole w x h window framebuffer. It uses no program, texture or render
// target, so it can be drawn before the assets are loaded.
void renderCoveredFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio, int w, int h);

// The frame's spectrum: the music's magnitudes at the back end's playback
// position, or at `atMs` into the track when given (a frame that is skipped),
// read into show.spectrum; null when there is no audio at all.
const float* readFrameSpectrum(ShowFrameState& show, AudioBackend* audio, std::optional<uint32_t> atMs = std::nullopt);

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
