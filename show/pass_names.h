// pass_names.h: the names of a frame's passes, for the statistics and the
// tests, without the frame driver's types.
//
//     for (const char* pass : passNames()) stats[pass] = ...;
#pragma once

#include <span>

// The frame's passes in drawing order, as the statistics and the GL error
// reports name them: the shadow pass and its blur, the camera pass and its
// blur, the shadowed backdrop, the camera picture with its bleed, the glow,
// the darkening overlay and the colour fades. They come from the one table of
// passes in frame_driver.cpp, where each is named beside its drawing.
std::span<const char* const> passNames();
