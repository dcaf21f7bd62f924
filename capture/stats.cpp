// Frame-time figures by segment, the slow-renderer notice and the statistics
// JSON line.
#include "capture/stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <nlohmann/json.hpp>

#include <sys/resource.h>

#include "scene/schedule.h"

namespace {

double nearestRank(const std::vector<double>& sorted, double percent)
{
    const auto n = sorted.size();
    auto rank = static_cast<size_t>(std::ceil(percent / 100.0 * static_cast<double>(n)));
    rank = std::clamp<size_t>(rank, 1, n);
    return sorted[rank - 1];
}

// Figures are printed to the microsecond; a figure that is not a number prints as 0.
double rounded(double value) { return std::isfinite(value) ? std::round(value * 1000.0) / 1000.0 : 0.0; }

nlohmann::ordered_json figuresJson(const FrameFigures& f)
{
    return {{"mean", rounded(f.mean)}, {"median", rounded(f.median)}, {"p95", rounded(f.p95)}, {"p99", rounded(f.p99)},
        {"max", rounded(f.max)}};
}

// A pass that drew nothing still takes a little GPU time, which must not be rounded away.
nlohmann::ordered_json namedJson(const FrameStats::NamedMs& values)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [name, ms] : values)
        json[name] = std::isfinite(ms) ? ms : 0.0;
    return json;
}

}  // namespace

FrameFigures summarise(std::vector<double> values)
{
    FrameFigures f;
    if (values.empty())
        return f;
    std::sort(values.begin(), values.end());
    f.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    f.median = nearestRank(values, 50);
    f.p95 = nearestRank(values, 95);
    f.p99 = nearestRank(values, 99);
    f.max = values.back();
    return f;
}

double peakResidentMb()
{
    rusage usage {};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

std::string SlowRendererNotice::addFrame(double frameMs, const std::string& renderer, int width, int height)
{
    if (decided_)
        return "";
    frameMs_.push_back(frameMs);
    seenMs_ += frameMs;
    // The very first frames also compile the shaders' code; a few more keep
    // them from deciding alone.
    constexpr size_t kFewestFrames = 8;
    if (seenMs_ < watchMs_ || frameMs_.size() < kFewestFrames)
        return "";
    decided_ = true;
    const double median = summarise(std::move(frameMs_)).median;
    constexpr double kSlowMs = 50.0, kTargetMs = 40.0;
    if (median <= kSlowMs)
        return "";
    const double scale = std::sqrt(kTargetMs / median);
    // Even sides, as a video capture of the same size would need.
    const int w = std::max(2, static_cast<int>(width * scale) & ~1);
    const int h = std::max(2, static_cast<int>(height * scale) & ~1);
    char text[256];
    std::snprintf(text, sizeof text, "%s draws %dx%d at %.0f frames a second; --size %dx%d would reach about 25",
        renderer.c_str(), width, height, 1000.0 / median, w, h);
    return text;
}

FrameStats::FrameStats()
{
    // A whole show at a few thousand frames per second fits without reallocating.
    frameMs_.reserve(1 << 19);
    showTimes_.reserve(1 << 19);
}

void FrameStats::addFrame(uint32_t showTimeMs, double frameMs)
{
    frameMs_.push_back(frameMs);
    showTimes_.push_back(showTimeMs);
}

std::string FrameStats::toJson() const
{
    nlohmann::ordered_json json;
    json["frames"] = frameMs_.size();
    json["startup_ms"] = rounded(startupMs_);
    json["frame_ms"] = figuresJson(summarise(frameMs_));
    nlohmann::ordered_json& segments = json["segments"] = nlohmann::ordered_json::object();
    for (const ShowSegment& segment : kShowSegments) {
        std::vector<double> inside;
        for (size_t i = 0; i < frameMs_.size(); ++i) {
            if (showTimes_[i] >= segment.startMs && showTimes_[i] < segment.endMs)
                inside.push_back(frameMs_[i]);
        }
        nlohmann::ordered_json& figures = segments[segment.name] = figuresJson(summarise(inside));
        figures["frames"] = inside.size();
    }
    json["peak_rss_mb"] = rounded(peakResidentMb());
    if (!startupSteps_.empty())
        json["startup_steps_ms"] = namedJson(startupSteps_);
    if (!passesMs_.empty())
        json["passes_ms"] = namedJson(passesMs_);
    if (beats_)
        json["beats"] = *beats_;
    if (audioSync_) {
        json["audio_drift_ms"] = rounded(audioSync_->maxDriftMs);
        json["relock_ms"] = rounded(audioSync_->relockMs);
        json["music_seeks"] = audioSync_->musicSeeks;
        json["frames_dropped"] = audioSync_->framesDropped;
    }
    if (!swapToSeenMs_.empty() || unseen_ > 0) {
        json["swap_to_seen_ms"] = rounded(summarise(swapToSeenMs_).median);
        json["frames_unseen"] = unseen_;
    }
    return json.dump();
}
