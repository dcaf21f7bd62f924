// stats.h: frame-time statistics, printed as one line of JSON.
//
//   FrameStats stats;
//   stats.setStartupMs(ms);
//   stats.addFrame(showTimeMs, frameMs);     // once per frame
//   std::string line = stats.toJson();
//
// Frame times are grouped by the show's segments (by the frame's show time) as
// well as overall. The JSON holds "frames", "startup_ms", "frame_ms", "segments",
// "peak_rss_mb" and, when set, "audio_drift_ms", "relock_ms", "music_seeks" and
// "frames_dropped" (the live clock's), and "swap_to_seen_ms" (the median time
// from a swap to the vblank that showed its frame) and "frames_unseen" (frames
// the compositor replaced before showing them), where the compositor tells.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How closely a clock that follows the music kept to it, in ms: the live
// clock measures it (app/playback_clock.h), the statistics report it.
struct AudioSync {
    double maxDriftMs = 0.0;  // largest |show time - playback position| while the music played normally
    double relockMs = 0.0;    // longest time from a stall's end until the two agreed again
    uint64_t musicSeeks = 0;     // times the music was moved once heard: only the user's jumps move it
    uint64_t framesDropped = 0;  // frames skipped when the picture jumped to catch up with the music
};

struct FrameFigures {
    double mean = 0, median = 0, p95 = 0, p99 = 0, max = 0;
};

// Nearest-rank figures of `values` (sorted here); all zero when empty.
FrameFigures summarise(std::vector<double> values);

// Peak resident set size of this process in MiB; 0 when unknown.
double peakResidentMb();

// Watches the live show's first seconds. Once frames worth `watchMs` of wall
// time (and at least eight frames) are in, and their median is over 50 ms, the
// one notice says so: the
// renderer, the frame rate it gets and a window size (the same shape) that
// would reach about 25 frames a second, taking a frame's cost as proportional
// to its pixels. Every other call returns an empty text.
class SlowRendererNotice {
public:
    explicit SlowRendererNotice(double watchMs = 3000)
        : watchMs_(watchMs)
    {
    }
    std::string addFrame(double frameMs, const std::string& renderer, int width, int height);

private:
    double watchMs_;
    double seenMs_ = 0;
    bool decided_ = false;
    std::vector<double> frameMs_;
};

class FrameStats {
public:
    FrameStats();
    using NamedMs = std::vector<std::pair<std::string, double>>;

    void setStartupMs(double ms) { startupMs_ = ms; }
    void setStartupSteps(NamedMs steps) { startupSteps_ = std::move(steps); }
    // Each pass's mean GPU time, in drawing order.
    void setPassesMs(NamedMs passes) { passesMs_ = std::move(passes); }
    void addFrame(uint32_t showTimeMs, double frameMs);
    // How closely the live clock kept to the music.
    void setAudioSync(const AudioSync& sync) { audioSync_ = sync; }
    // A frame the compositor showed `swapToSeenMs` after its swap.
    void addSeen(double swapToSeenMs) { swapToSeenMs_.push_back(swapToSeenMs); }
    // A frame the compositor replaced before showing it.
    void addUnseen() { ++unseen_; }
    // Frames whose beat flag was raised inside the show's beat window.
    void setBeats(int frames) { beats_ = frames; }

    size_t frames() const { return frameMs_.size(); }
    std::string toJson() const;

private:
    double startupMs_ = 0;
    std::vector<double> frameMs_;
    std::vector<uint32_t> showTimes_;
    NamedMs startupSteps_;
    NamedMs passesMs_;
    std::optional<AudioSync> audioSync_;
    std::vector<double> swapToSeenMs_;
    uint64_t unseen_ = 0;
    std::optional<int> beats_;
};
