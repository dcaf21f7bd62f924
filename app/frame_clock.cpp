// The fixed-step clock and the per-frame reading of show time and frame step.
#include "app/frame_clock.h"

FrameSpan framesBetween(uint32_t fromMs, uint32_t toMs, int fps)
{
    // floor(k * 1000 / fps) >= ms exactly when k >= ms * fps / 1000.
    auto firstAtOrAfter
        = [fps](uint32_t ms) { return (static_cast<uint64_t>(ms) * static_cast<uint64_t>(fps) + 999) / 1000; };
    return {firstAtOrAfter(fromMs), firstAtOrAfter(toMs)};
}

bool FixedStepClock::start()
{
    previousTicks = 0;
    frame_ = 0;
    return true;
}

uint32_t FixedStepClock::tickForFrame(uint64_t frame, int framesPerSecond)
{
    return static_cast<uint32_t>(frame * 1000u / static_cast<uint64_t>(framesPerSecond));
}

float frameStepFor(uint32_t elapsedTicks)
{
    const float step = static_cast<float>(static_cast<double>(elapsedTicks)) / 500.0f;
    return step < 1e-6f ? 0.002f : step;
}

FrameTime readFrameTime(FrameClock& clock)
{
    const uint32_t first = clock.tickCount();
    const uint32_t elapsed = first - clock.previousTicks;
    FrameTime time;
    time.showTimeMs = clock.tickCount();
    clock.previousTicks = first;
    time.frameStep = frameStepFor(elapsed);
    return time;
}
