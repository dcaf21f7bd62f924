// frame_values.h: the short-lived values a frame derives from the beats and the
// clock: the light dip, the chromatic bleed, the banner push and the camera sway.
//
// Usage: once per frame, advanceFrameValues(values, showTimeMs, frameStep, beat),
// then the passes read the fields. Plain code, no GL: tests drive it directly.
// Nothing is ever reset; the show runs once.
#pragma once

#include <array>
#include <cstdint>

#include "scene/vec.h"

struct FrameValues {
    float lightLevel = 1.0f;                // scales light 0; 0.75 on a beat
    float beatPulse = 1.0f;                 // pushes "GALDER" and "QN"
    std::array<float, 3> bleedStrength {};  // r, g, b channel split of the camera picture
    float cameraSwayPhase = 0.0f;           // radians; one per second of show time
    Vec4 cameraEye {5.0f, 2.0f, -2.0f, 1.0f};
    Vec4 cameraTarget {2.0f, 5.0f, -12.0f, 1.0f};
};

// True when a beat at show time t may flash the picture.
bool beatCanFlash(uint32_t showTimeMs);

// One frame: sways the camera, applies a beat (if `beat` and inside the window),
// then moves every flash value one step back towards rest.
void advanceFrameValues(FrameValues& values, uint32_t showTimeMs, float frameStep, bool beat);

// How long the flash values take to come back to rest after a beat, each
// moving half a frame step a frame: 0.001 a millisecond at the clocks' step of
// one per 500 ms.
uint32_t flashSettleMs();
