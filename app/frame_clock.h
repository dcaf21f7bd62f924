// frame_clock.h: the show's time base, counted in whole milliseconds.
//
// The main loop reads tickCount() twice per frame (readFrameTime below) to get
// the show time and the frame step. The live show's clock follows the music
// (app/playback_clock.h); FixedStepClock steps a fixed frame rate forward once
// per frame for deterministic capture and benchmarks.
//
//   FixedStepClock clock(60);
//   clock.start();                          // count and previousTicks become 0
//   FrameTime t = readFrameTime(clock);     // once per frame
//   clock.frameDone();                      // after each frame
//   clock.stop();
#pragma once

#include <cstdint>
#include <optional>

#include "capture/stats.h"

class FrameClock {
public:
    virtual ~FrameClock() = default;
    // Resets the count and previousTicks to 0 and starts counting. False if it cannot start.
    virtual bool start() = 0;
    // Stops counting; the count keeps its last value. Safe to call when not started.
    virtual void stop() = 0;
    // Milliseconds since start(); may change between two calls.
    virtual uint32_t tickCount() const = 0;
    // Called by the loop once per finished frame, right after its swap.
    virtual void frameDone() { }
    // When a frame's swap ended and when the compositor showed it (CLOCK_MONOTONIC
    // ms), and the display's refresh period (0: none, or the swaps do not
    // wait for it); a clock that aims at the moment a frame is seen uses them.
    virtual void frameSeen(double /*swapMs*/, double /*seenMs*/, double /*refreshMs*/) { }

    // The live show's controls. A clock that cannot pause or jump ignores them.
    virtual void pause() { }
    virtual void resume() { }
    virtual bool paused() const { return false; }
    // Show time becomes `ms` (the music moves with it); previousTicks is the caller's.
    virtual void jumpTo(uint32_t) { }
    // Set for a clock that follows the music.
    virtual std::optional<AudioSync> audioSync() const { return std::nullopt; }

    // The count the loop saw at the previous frame; owned by readFrameTime.
    uint32_t previousTicks = 0;
};

// Frame k (counted from start()) has the count floor(k * 1000 / fps); the
// frame advances only when frameDone() is called.
// Frame indices [first, end) of the frames with show time in [fromMs, toMs) at `fps`.
struct FrameSpan {
    uint64_t first = 0, end = 0;
    uint64_t count() const { return end > first ? end - first : 0; }
};
FrameSpan framesBetween(uint32_t fromMs, uint32_t toMs, int fps);

class FixedStepClock : public FrameClock {
public:
    explicit FixedStepClock(int framesPerSecond)
        : fps_(framesPerSecond > 0 ? framesPerSecond : 60)
    {
    }
    bool start() override;
    void stop() override { }
    uint32_t tickCount() const override { return tickForFrame(frame_, fps_); }
    void frameDone() override { ++frame_; }

    uint64_t frameIndex() const { return frame_; }
    int framesPerSecond() const { return fps_; }
    static uint32_t tickForFrame(uint64_t frame, int framesPerSecond);

private:
    int fps_;
    uint64_t frame_ = 0;
};

struct FrameTime {
    uint32_t showTimeMs = 0;
    float frameStep = 0.0f;
};

// The frame step for `elapsedTicks` milliseconds: elapsed / 500 in single
// precision, or 0.002 (one tick's worth) when that is below 1e-6.
float frameStepFor(uint32_t elapsedTicks);

// One frame's time values: the elapsed ticks come from a first read of the
// count, the show time from a second one; previousTicks takes the first.
FrameTime readFrameTime(FrameClock& clock);
