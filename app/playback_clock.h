// A frame clock that follows the music: while the sound device plays, show
// time is the music's heard position (what leaves the speakers now, as the
// back end knows it), so the picture cannot drift away from what is heard.
// The time is read before a frame is drawn but the frame is seen later: once
// its swap ends, and on a compositor at one of its next repaints. The clock
// measures that lead (a running median from a frame's read to the end of its
// swap, plus one from the swap to the vblank that showed the frame, where the
// compositor tells it) and draws each frame for the music heard when it is
// seen. A user's --audio-offset shifts the picture further, later when positive.
//
// The live show's clock, made once the music is loaded:
//   PlaybackClock clock(*app.audio, app.music);
//   clock.start();  startMusic(...);
//   clock.pause(); clock.resume(); clock.jumpTo(ms);  // move music and show together
//   clock.frameDone();                                // right after each swap
//   clock.frameSeen(swapMs, seenMs, refreshMs);       // as the compositor tells
//
// Sound comes first: while the music plays, only the user moves it (a jump,
// --start). The picture follows the music and never the other way round:
//   - at the start the picture waits up to 2 s for the music to be heard;
//   - after a start or a jump the picture waits for the music (a positive
//     offset, or the output's latency at the start) or joins it at once;
//   - when the position stops moving without a pause (a stalled device), or
//     has not started moving yet (no device at all), show time carries on by
//     the steady clock;
//   - when the position moves, show time slews towards it at most 5% faster
//     or slower than real time; a picture too far behind to catch up within
//     a second jumps forward (the frames between are dropped), one too far
//     ahead holds until the music reaches it.
// With vsync on a display that reports its refresh, frames are seen only at
// its vblanks: each frame is aimed at the vblank it is predicted to reach
// (the last one the compositor told, plus whole measured periods), so each
// seen frame advances the show by its vblank step, and the music only steers
// it, at most 5% of a step.
// audioSync() reports the largest gap between the show time and where the heard
// music puts it (offset and lead included) while the music played normally, and the
// longest time from a stall's end until the two agreed within 2 ms again.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/frame_clock.h"
#include "audio/audio_backend.h"
#include "audio/music_player.h"

// The median of the last N samples of a measured time; samples not yet seen count as 0.
template <size_t N>
class RunningMedian {
public:
    void clear()
    {
        samples_.fill(0.0);
        count_ = 0;
    }
    double add(double sample)
    {
        samples_[count_++ % N] = sample;
        std::array<double, N> sorted = samples_;
        std::nth_element(sorted.begin(), sorted.begin() + N / 2, sorted.end());
        return sorted[N / 2];
    }
    size_t count() const { return count_; }

private:
    std::array<double, N> samples_ {};
    size_t count_ = 0;
};

class PlaybackClock : public FrameClock {
public:
    // Milliseconds of a steady clock; the default reads std::chrono::steady_clock.
    using SteadyMs = std::function<double()>;

    // A position that has not moved for this long is a stall. A real server's
    // position may stand for a frame or two (a late timing update, a busy
    // thread); that is jitter, which slewing absorbs.
    static constexpr double kStallMs = 50.0;
    // Show time and position agree when they are this close.
    static constexpr double kLockedMs = 2.0;
    // Wider gaps than this would take slewing more than a second: the picture
    // jumps to the music, or waits for it.
    static constexpr double kResyncMs = 40.0;
    static constexpr double kSlew = 0.05;
    // How long the start waits for the music to be heard before the steady clock takes over.
    static constexpr double kFirstSoundWaitMs = 2000.0;

    // Frames whose times make up each running median.
    static constexpr size_t kLeadFrames = 15;
    // A longer read-to-swap time is a hitch, not the lead of a steady frame.
    static constexpr double kMaxLeadMs = 100.0;
    // A longer swap-to-seen time is a compositor's hitch.
    static constexpr double kMaxSeenMs = 250.0;
    // A frame is aimed at a vblank counted on from the last one told only this many periods on.
    static constexpr double kFreshVblanks = 8.0;

    PlaybackClock(AudioBackend& backend, const MusicPlayer& music, SteadyMs steadyMs = {});

    // The picture is shown `ms` later than the music is heard (earlier when negative).
    void setAudioOffsetMs(double ms) { offsetMs_ = ms; }

    bool start() override;
    void stop() override;
    uint32_t tickCount() const override;
    void pause() override;
    void resume() override;
    bool paused() const override { return paused_; }
    void jumpTo(uint32_t ms) override;
    void frameDone() override;
    void frameSeen(double swapMs, double seenMs, double refreshMs) override;
    std::optional<AudioSync> audioSync() const override;

    // Show time in fractional milliseconds, brought up to date.
    double showMs() const;

private:
    void follow(double now) const;
    bool displayLocked() const { return refreshMs_ > 0.0 && lastSeenMs_ >= 0.0; }
    // The moment a frame read at `now` is aimed at: where the display paces
    // the frames, the vblank it is predicted to reach; otherwise its read.
    double aimedAt(double now) const;
    // The show time a frame aimed at `at`, read at `now`, should have for the music heard at `position`.
    double aimFor(double position, double at, double now) const
    {
        return position + (frameLocked_ ? at - now : leadMs_) - offsetMs_;
    }
    // Where the music must be for the picture to be at show time `show`.
    double musicFor(double show) const { return std::max(0.0, show - leadMs_ + offsetMs_); }

    AudioBackend& backend_;
    const MusicPlayer& music_;
    SteadyMs steadyMs_;
    bool running_ = false;
    bool paused_ = false;
    double offsetMs_ = 0.0;
    double leadMs_ = 0.0;
    double readToSwapMs_ = 0.0;
    double swapToSeenMs_ = 0.0;
    double refreshMs_ = 0.0;
    double lastSeenMs_ = -1.0;  // the vblank that showed the latest seen frame; -1: none yet
    double vblankStepMs_ = 0.0;
    RunningMedian<kLeadFrames> readToSwap_;
    RunningMedian<kLeadFrames> swapToSeen_;
    RunningMedian<kLeadFrames> vblankSteps_;
    double lastDone_ = -1.0;  // steady time of the last frameDone(); -1: none yet
    double frameIntervalMs_ = 0.0;
    RunningMedian<kLeadFrames> frameIntervals_;

    // Brought up to date by every read; reads are const for the frame loop.
    mutable double show_ = 0.0;
    mutable double lastAt_ = 0.0;     // what the latest read was aimed at
    mutable double frameAt_ = 0.0;    // what the frame being read is aimed at
    mutable bool frameLocked_ = false;  // and whether that is a predicted vblank
    mutable double lastRead_ = -1.0;  // steady time of the latest read since the last frame; -1: none
    mutable double lastPosition_ = 0.0;
    mutable double lastMove_ = 0.0;   // steady time the position last moved
    mutable bool moving_ = false;     // the position has moved within kStallMs
    mutable bool heardYet_ = false;   // the position has moved since start()
    double startedAt_ = 0.0;
    mutable bool settling_ = true;    // after a start or a jump, until first agreement
    mutable bool relocking_ = false;  // after a stall, until the first agreement
    mutable bool holding_ = false;    // the picture waits for the music to reach it
    mutable double stallEnded_ = 0.0;
    mutable AudioSync sync_;
};
