// ramp.h: the steps every scene element's ramps take, scaled by the frame step.
//
// A value rises or falls by rate x step and stops at its bound; windows are
// inclusive at both ends:
//     if (within(t, window.startMs, window.endMs)) fade = rise(fade, 0.1f, step, 1.0f);
#pragma once

#include <algorithm>
#include <cstdint>

inline bool within(uint32_t t, uint32_t lo, uint32_t hi) { return lo <= t && t <= hi; }

inline float rise(float value, float rate, float step, float ceiling) { return std::min(value + rate * step, ceiling); }

inline float fall(float value, float rate, float step, float floor) { return std::max(value + -rate * step, floor); }
