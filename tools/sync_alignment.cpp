// Matching a recording of the sink against the track, and the offsets of the logged frames.
#include "tools/sync_alignment.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace {

constexpr int64_t kWindow = 2048;      // samples matched at once, about 46 ms
constexpr double kMatch = 0.9;         // normalised correlation that counts as the same sound
constexpr double kLoud = 1e-3;         // RMS below which a window is silence and not matched

double energy(const float* x, int64_t n)
{
    double sum = 0.0;
    for (int64_t i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return sum;
}

double correlation(const float* a, const float* b, int64_t n, double energyA)
{
    double dot = 0.0;
    for (int64_t i = 0; i < n; ++i)
        dot += static_cast<double>(a[i]) * b[i];
    const double energyB = energy(b, n);
    return energyA > 0.0 && energyB > 0.0 ? dot / std::sqrt(energyA * energyB) : 0.0;
}

// The monotonic time each recording sample was heard: sample k at
// offset + k / rate. The sink's clock and the monotonic clock keep step (a
// null sink runs on the system's timer) and the recording has no gaps, so
// one offset serves the whole recording: the median over all stamps, which a
// server's passing misreport of its latency (while a sink changes its
// latency, at a stream's start) cannot move.
class HeardTimes {
public:
    HeardTimes(const std::vector<HeardStamp>& stamps, int rate)
        : rate_(rate)
    {
        std::vector<double> offsets;
        for (const HeardStamp& s : stamps)
            offsets.push_back(static_cast<double>(s.ns) - nsOf(s.sample));
        if (offsets.empty())
            return;
        std::nth_element(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2), offsets.end());
        offset_ = offsets[offsets.size() / 2];
        valid_ = true;
    }

    bool empty() const { return !valid_; }
    // The recording sample heard at `ns`.
    double sampleAt(int64_t ns) const { return (static_cast<double>(ns) - offset_) * rate_ / 1e9; }
    // When recording sample `sample` was heard.
    double nsAt(int64_t sample) const { return offset_ + nsOf(sample); }

private:
    double nsOf(int64_t sample) const { return static_cast<double>(sample) * 1e9 / rate_; }

    int rate_;
    double offset_ = 0.0;
    bool valid_ = false;
};

// The show time the frame log gives for monotonic time `ns` (the frame shown then).
double loggedShowMsAt(const std::vector<LoggedFrame>& frames, int64_t ns)
{
    auto after = std::lower_bound(
        frames.begin(), frames.end(), ns, [](const LoggedFrame& f, int64_t t) { return f.swapNs < t; });
    if (after == frames.begin())
        return after->showMs;
    return std::prev(after)->showMs;
}

}  // namespace

SyncFigures measureSync(const SyncInput& in)
{
    SyncFigures figures;
    const HeardTimes heard(in.stamps, in.sampleRate);
    if (heard.empty() || in.frames.empty())
        return figures;
    const auto trackLength = static_cast<int64_t>(in.track.size());
    const auto searchSamples = static_cast<int64_t>(in.searchMs * in.sampleRate / 1000.0);

    // Track sample minus recording sample, per window; INT64_MIN where unmatched.
    const int64_t windowCount = static_cast<int64_t>(in.recording.size()) / kWindow;
    std::vector<int64_t> lag(static_cast<size_t>(windowCount), INT64_MIN);
    int64_t predicted = INT64_MIN;
    for (int64_t w = 0; w < windowCount; ++w) {
        const float* window = in.recording.data() + w * kWindow;
        const double windowEnergy = energy(window, kWindow);
        if (windowEnergy < kLoud * kLoud * kWindow) {
            predicted = INT64_MIN;
            continue;
        }
        ++figures.windows;
        auto matches = [&](int64_t d) {
            const int64_t at = w * kWindow + d;
            return at >= 0 && at + kWindow <= trackLength
                ? correlation(window, in.track.data() + at, kWindow, windowEnergy)
                : 0.0;
        };
        int64_t found = INT64_MIN;
        if (predicted != INT64_MIN && matches(predicted) >= kMatch) {
            found = predicted;
        } else {
            const double expectedMs = loggedShowMsAt(in.frames, static_cast<int64_t>(heard.nsAt(w * kWindow)));
            const int64_t centre = static_cast<int64_t>(expectedMs * in.sampleRate / 1000.0) - w * kWindow;
            double best = kMatch;
            for (int64_t d = centre - searchSamples; d <= centre + searchSamples; ++d) {
                const double c = matches(d);
                if (c > best) {
                    best = c;
                    found = d;
                }
            }
        }
        lag[static_cast<size_t>(w)] = found;
        predicted = found;
        if (found != INT64_MIN && figures.matchedWindows++ == 0)
            figures.firstHeardMs = static_cast<double>(w * kWindow) * 1000.0 / in.sampleRate;
    }

    std::vector<double> offsets;
    for (const LoggedFrame& frame : in.frames) {
        const double sample = heard.sampleAt(frame.swapNs);
        const auto w = static_cast<int64_t>(std::floor(sample / kWindow));
        if (w < 0 || w >= windowCount || lag[static_cast<size_t>(w)] == INT64_MIN)
            continue;
        const double heardMs = (sample + static_cast<double>(lag[static_cast<size_t>(w)])) * 1000.0 / in.sampleRate;
        offsets.push_back(frame.showMs - heardMs);
        figures.offsets.emplace_back(frame.swapNs, offsets.back());
    }
    if (offsets.empty())
        return figures;
    figures.frames = static_cast<int>(offsets.size());
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    figures.medianMs = sorted[sorted.size() / 2];
    double sum = 0.0;
    for (double o : offsets)
        sum += o;
    figures.meanMs = sum / static_cast<double>(offsets.size());
    std::vector<double> magnitudes;
    for (double o : offsets)
        magnitudes.push_back(std::fabs(o));
    std::sort(magnitudes.begin(), magnitudes.end());
    // Nearest rank.
    const auto rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(magnitudes.size())));
    figures.p95AbsMs = magnitudes[rank > 0 ? rank - 1 : 0];
    return figures;
}

bool readFrameLog(const std::string& path, std::vector<LoggedFrame>& frames, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the frame log '" + path + "'";
        return false;
    }
    std::string line;
    std::getline(file, line);
    if (line != "frame,show_ms,swap_ns,beat") {
        error = "'" + path + "' is not a frame log (its first line is not frame,show_ms,swap_ns,beat)";
        return false;
    }
    for (int number = 2; std::getline(file, line); ++number) {
        std::istringstream fields(line);
        long long frame = 0, swap = 0;
        int beat = 0;
        LoggedFrame entry;
        char c1 = 0, c2 = 0, c3 = 0;
        fields.imbue(std::locale::classic());
        if (!(fields >> frame >> c1 >> entry.showMs >> c2 >> swap >> c3 >> beat) || c1 != ',' || c2 != ','
            || c3 != ',') {
            // A killed run may leave its last line unfinished; anything else is an error.
            if (file.peek() == EOF)
                break;
            error = path + ":" + std::to_string(number) + ": not frame,show_ms,swap_ns,beat";
            return false;
        }
        entry.swapNs = swap;
        frames.push_back(entry);
    }
    return true;
}

std::string syncJson(const SyncFigures& f)
{
    auto rounded = [](double v) { return std::round(v * 100.0) / 100.0; };
    nlohmann::json json;
    json["frames"] = f.frames;
    json["median_ms"] = rounded(f.medianMs);
    json["p95_abs_ms"] = rounded(f.p95AbsMs);
    json["mean_ms"] = rounded(f.meanMs);
    json["windows"] = f.windows;
    json["matched_windows"] = f.matchedWindows;
    json["first_heard_ms"] = rounded(f.firstHeardMs);
    return json.dump();
}
