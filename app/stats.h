// stats.h: frame-time statistics, printed as one line of JSON.
//
//   FrameStats stats;
//   stats.setStartupMs(ms);
//   stats.addFrame(showTimeMs, frameMs);     // once per frame
//   std::string line = stats.toJson();
//
// Frame times are grouped by the show's segments (by the frame's show time) as
// well as overall. The JSON holds "frames", "startup_ms", "frame_ms", "segments",
// "peak_rss_mb" and, when set, "audio_drift_ms" and "relock_ms".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FrameFigures {
    double mean = 0, median = 0, p95 = 0, p99 = 0, max = 0;
};

// Nearest-rank figures of `values` (sorted here); all zero when empty.
FrameFigures summarise(std::vector<double> values);

// Peak resident set size of this process in MiB; 0 when unknown.
double peakResidentMb();

class FrameStats {
public:
    FrameStats();
    void setStartupMs(double ms) { startupMs_ = ms; }
    void addFrame(uint32_t showTimeMs, double frameMs);
    // How closely the live clock kept to the music (see AudioSync).
    void setAudioSync(double driftMs, double relockMs)
    {
        audioDriftMs_ = driftMs;
        relockMs_ = relockMs;
    }
    // Frames whose beat flag was raised inside the show's beat window.
    void setBeats(int frames) { beats_ = frames; }

    size_t frames() const { return frameMs_.size(); }
    std::string toJson() const;

private:
    double startupMs_ = 0;
    std::vector<double> frameMs_;
    std::vector<uint32_t> showTimes_;
    std::optional<double> audioDriftMs_;
    std::optional<double> relockMs_;
    std::optional<int> beats_;
};
