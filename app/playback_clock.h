// A frame clock that follows the music: while the sound device plays, show
// time is the music's heard position (what leaves the speakers now, as the
// back end knows it), so the picture cannot drift away from what is heard.
// The time is read before a frame is drawn but seen once the frame is
// presented: the clock measures that lead (from a frame's read to the end of
// its swap, a running median) and shows each frame for the moment it appears.
// A user's --audio-offset shifts the picture further, later when positive.
//
// The live show's clock, made once the music is loaded:
//   PlaybackClock clock(*app.audio, app.music);
//   clock.start();  startMusic(...);
//   clock.pause(); clock.resume(); clock.jumpTo(ms);  // move music and show together
//
// Show time never runs backwards on its own (only jumpTo moves it back) and,
// once the music is heard, never stands still while the clock runs:
//   - at the start the picture waits up to 2 s for the music to be heard;
//   - after a start or a jump the picture waits for the music (a positive
//     offset, or the output's latency at the start) or joins it at once;
//   - when the position stops moving without a pause (a stalled device), or
//     has not started moving yet (no device at all), show time carries on by
//     the steady clock;
//   - when the position moves again, show time slews towards it at most 5%
//     faster or slower than real time until it is the position again; a gap
//     too wide to close by slewing within a second is closed by moving the
//     music to the show time instead.
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
    // Wider gaps than this would take slewing more than a second: the music moves instead.
    static constexpr double kResyncMs = 40.0;
    static constexpr double kSlew = 0.05;
    // How long the start waits for the music to be heard before the steady clock takes over.
    static constexpr double kFirstSoundWaitMs = 2000.0;

    // Frames whose read-to-swap time makes up the lead's running median.
    static constexpr size_t kLeadFrames = 15;
    // A longer read-to-swap time is a hitch, not the lead of a steady frame.
    static constexpr double kMaxLeadMs = 100.0;

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
    std::optional<AudioSync> audioSync() const override;

    // Show time in fractional milliseconds, brought up to date.
    double showMs() const;

    // The measured time from a frame's clock read to the end of its swap.
    double leadMs() const { return leadMs_; }

private:
    void follow(double now) const;
    // The show time a frame read now should have, for the music heard at `position`.
    double aimFor(double position) const { return position + leadMs_ - offsetMs_; }
    // Where the music must be for the picture to be at show time `show`.
    double musicFor(double show) const { return std::max(0.0, show - leadMs_ + offsetMs_); }

    AudioBackend& backend_;
    const MusicPlayer& music_;
    SteadyMs steadyMs_;
    bool running_ = false;
    bool paused_ = false;
    double offsetMs_ = 0.0;
    double leadMs_ = 0.0;
    std::array<double, kLeadFrames> leadSamples_ {};
    size_t leadCount_ = 0;

    // Brought up to date by every read; reads are const for the frame loop.
    mutable double show_ = 0.0;
    mutable double lastNow_ = 0.0;
    mutable double lastRead_ = -1.0;  // steady time of the latest read since the last frame; -1: none
    mutable double lastPosition_ = 0.0;
    mutable double lastMove_ = 0.0;   // steady time the position last moved
    mutable bool moving_ = false;     // the position has moved within kStallMs
    mutable bool heardYet_ = false;   // the position has moved since start()
    double startedAt_ = 0.0;
    mutable bool settling_ = true;    // after a start or a jump, until first agreement
    mutable bool relocking_ = false;  // after a stall, until the first agreement
    mutable double stallEnded_ = 0.0;
    mutable double maxDriftMs_ = 0.0;
    mutable double longestRelockMs_ = 0.0;
};
