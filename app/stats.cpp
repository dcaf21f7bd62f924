#include "app/stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

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

void appendNumber(std::string& out, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", std::isfinite(value) ? value : 0.0);
    out += text;
}

void appendFigures(std::string& out, const FrameFigures& f)
{
    out += "{\"mean\": ";
    appendNumber(out, f.mean);
    out += ", \"median\": ";
    appendNumber(out, f.median);
    out += ", \"p95\": ";
    appendNumber(out, f.p95);
    out += ", \"p99\": ";
    appendNumber(out, f.p99);
    out += ", \"max\": ";
    appendNumber(out, f.max);
    out += "}";
}

} // namespace

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
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
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
    std::string out = "{\"frames\": " + std::to_string(frameMs_.size()) + ", \"startup_ms\": ";
    appendNumber(out, startupMs_);
    out += ", \"frame_ms\": ";
    appendFigures(out, summarise(frameMs_));
    out += ", \"segments\": {";
    bool first = true;
    for (const ShowSegment& segment : kShowSegments) {
        std::vector<double> inside;
        for (size_t i = 0; i < frameMs_.size(); ++i) {
            if (showTimes_[i] >= segment.startMs && showTimes_[i] < segment.endMs)
                inside.push_back(frameMs_[i]);
        }
        out += first ? "\"" : ", \"";
        first = false;
        out += segment.name;
        out += "\": ";
        FrameFigures f = summarise(inside);
        appendFigures(out, f);
        out.pop_back();
        out += ", \"frames\": " + std::to_string(inside.size()) + "}";
    }
    out += "}, \"peak_rss_mb\": ";
    appendNumber(out, peakResidentMb());
    if (beats_)
        out += ", \"beats\": " + std::to_string(*beats_);
    if (audioDriftMs_) {
        out += ", \"audio_drift_ms\": ";
        appendNumber(out, *audioDriftMs_);
    }
    if (relockMs_) {
        out += ", \"relock_ms\": ";
        appendNumber(out, *relockMs_);
    }
    out += "}";
    return out;
}
