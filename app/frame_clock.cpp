#include "app/frame_clock.h"

#include <pthread.h>
#include <sched.h>

TickerClock::~TickerClock() { stop(); }

bool TickerClock::start()
{
    stop();
    previousTicks = 0;
    ticks_.store(0);
    running_.store(true);
    const auto origin = std::chrono::steady_clock::now();
    try {
        thread_ = std::thread(&TickerClock::run, this, origin);
    } catch (const std::system_error&) {
        running_.store(false);
        return false;
    }
    return true;
}

void TickerClock::stop()
{
    running_.store(false);
    if (thread_.joinable())
        thread_.join();
}

void TickerClock::run(std::chrono::steady_clock::time_point origin)
{
    // Ask for a real-time slot so wake-ups stay close to each millisecond; without
    // the privilege the catch-up below still keeps the count exact.
    sched_param param {};
    param.sched_priority = 1;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    using std::chrono::milliseconds;
    uint64_t next = 1;
    while (running_.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_until(origin + milliseconds(next));
        const auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - origin);
        const auto ms = static_cast<uint64_t>(elapsed.count());
        ticks_.store(static_cast<uint32_t>(ms), std::memory_order_relaxed);
        next = ms + 1;
    }
}

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
