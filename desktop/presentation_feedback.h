// presentation_feedback.h: when each presented frame reached the screen, in
// the compositor's own words.
//
// A frame is not seen when its buffer swap returns: a compositor shows it at
// one of its next repaints. On Wayland the presentation-time protocol tells,
// for every commit of the window's surface, the CLOCK_MONOTONIC time of the
// vblank that showed it and the output's refresh period, or that it was
// replaced before it was ever shown. The requests and replies go through an
// event queue of our own, so SDL's events are never taken or reordered.
//
// On X11 nothing is asked: under Xvfb and Mesa's software path no driver
// reports presentation, and there the swap's return is the best estimate.
// forWindow() then gives nullptr, and callers treat the swap time as seen.
//
//   auto feedback = PresentationFeedback::forWindow(window);   // after the window is shown
//   feedback->beforeSwap(frame);    // right before SDL_GL_SwapWindow
//   SDL_GL_SwapWindow(window);
//   feedback->afterSwap(monotonicNs());
//   feedback->collect(outcomes);    // what arrived, for this or earlier frames
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <SDL.h>

// What became of one frame.
struct PresentedFrame {
    uint64_t frame = 0;     // the number given to beforeSwap()
    int64_t swapNs = 0;     // as given to afterSwap()
    int64_t seenNs = 0;     // CLOCK_MONOTONIC of the vblank that showed it; 0: discarded unseen
    int64_t refreshNs = 0;  // the output's refresh period; 0 when it has none
};

class PresentationFeedback {
public:
    // Feedback for `window`'s surface, or nullptr where the platform tells
    // nothing (X11, off screen) or the compositor keeps time on a clock we cannot read.
    static std::unique_ptr<PresentationFeedback> forWindow(SDL_Window* window);

    virtual ~PresentationFeedback() = default;
    // Asks for the outcome of the next commit of the surface, the one the swap makes.
    virtual void beforeSwap(uint64_t frame) = 0;
    // The CLOCK_MONOTONIC time the swap returned, for the frame just asked about.
    virtual void afterSwap(int64_t swapNs) = 0;
    // Appends the outcomes that have arrived since the last call; never blocks.
    virtual void collect(std::vector<PresentedFrame>& outcomes) = 0;
};
