// Matching a recording of the sink against the track, and the offsets of the logged frames.
#include "tools/sync_alignment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

namespace {

constexpr int64_t kWindow = 2048;      // samples matched at once, about 46 ms
constexpr double kMatch = 0.9;         // normalised correlation that counts as the same sound
constexpr double kLoud = 1e-3;         // RMS below which a window is silence and not matched
// A wide search first compares the loudest 6 ms of the window alone: an
// offset that does not resemble the recording there cannot match the whole.
constexpr int64_t kHead = 256;
constexpr double kHeadMatch = 0.5;
// A stamp further than this from its piece's line is out of it. The stamps
// of a steady recording keep within a millisecond or so; a lost block of the
// smallest quantum a server uses here (256 samples, 5.8 ms) is well past it.
// Where the server hands the recording over in bursts, the stamps saw-tooth
// by the burst's length (10 ms under PulseAudio's null sink), and the bound
// widens to three times their typical step from one stamp to the next.
constexpr double kStampBoundNs = 2.5e6;
constexpr double kStampSpreadFactor = 3.0;
// Stamps out of line one after another that agree among themselves: the
// recording lost samples or its clock stepped, and a new piece starts. Fewer
// are a passing misreport of the latency, left out of the fit.
constexpr size_t kStepStamps = 5;
// Until a piece spans this much, its slope is the nominal rate's: a slope
// fitted over a few stamps would be mostly their jitter.
constexpr double kFreeSlopeNs = 2e8;
// Between two neighbouring matched windows the heard music moves as the
// clock does, to within a sample of the match and a fraction of a
// millisecond of the fitted time. The servers drop or repeat whole blocks,
// 5.8 ms (256 samples) at the least here, so a step past this is the music
// skipping and not the meter's noise.
constexpr double kJumpMs = 4.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double energy(const float* x, int64_t n)
{
    double sum = 0.0;
    for (int64_t i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return sum;
}

double correlation(const float* a, const float* b, int64_t n, double energyA, double energyB)
{
    double dot = 0.0;
    for (int64_t i = 0; i < n; ++i)
        dot += static_cast<double>(a[i]) * b[i];
    return energyA > 0.0 && energyB > 0.0 ? dot / std::sqrt(energyA * energyB) : 0.0;
}

// Least squares of ns against sample, kept as sums about a base point so
// that nanoseconds since boot lose no precision.
class LineFit {
public:
    LineFit(const HeardStamp& base, double nominalSlope)
        : base_(base)
        , nominal_(nominalSlope)
    {
    }

    void add(const HeardStamp& s)
    {
        const double x = static_cast<double>(s.sample - base_.sample);
        const double y = static_cast<double>(s.ns - base_.ns);
        n_ += 1.0;
        sx_ += x;
        sy_ += y;
        sxx_ += x * x;
        sxy_ += x * y;
        first_ = std::min(first_, x);
        last_ = std::max(last_, x);
    }

    double slope() const
    {
        const double spread = n_ * sxx_ - sx_ * sx_;
        if ((last_ - first_) * nominal_ < kFreeSlopeNs || spread <= 0.0)
            return nominal_;
        return (n_ * sxy_ - sx_ * sy_) / spread;
    }

    double nsAt(double sample) const
    {
        const double b = slope();
        const double a = (sy_ - b * sx_) / n_;
        return static_cast<double>(base_.ns) + a + b * (sample - static_cast<double>(base_.sample));
    }

private:
    HeardStamp base_;
    double nominal_;
    double n_ = 0.0, sx_ = 0.0, sy_ = 0.0, sxx_ = 0.0, sxy_ = 0.0;
    double first_ = 0.0, last_ = 0.0;
};

// The monotonic time each recording sample was heard: a line per piece of
// the recording, fitted to its stamps. Samples between two pieces (the block
// in which samples were lost) and moments between them (when nothing was
// recorded) have no time.
class HeardTimes {
public:
    HeardTimes(const std::vector<HeardStamp>& stamps, int rate)
        : nominal_(1e9 / rate)
    {
        std::vector<double> steps;
        for (size_t i = 1; i < stamps.size(); ++i)
            steps.push_back(std::fabs(static_cast<double>(stamps[i].ns - stamps[i - 1].ns)
                - static_cast<double>(stamps[i].sample - stamps[i - 1].sample) * nominal_));
        double bound = kStampBoundNs;
        if (!steps.empty()) {
            std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
            bound = std::max(bound, kStampSpreadFactor * steps[steps.size() / 2]);
        }
        std::vector<std::vector<HeardStamp>> kept;
        std::vector<HeardStamp> pending;
        std::vector<HeardStamp> current;
        LineFit fit({}, nominal_);
        const auto startPiece = [&](std::vector<HeardStamp> first) {
            if (current.size() >= kStepStamps)
                kept.push_back(std::move(current));
            current = std::move(first);
            fit = LineFit(current.front(), nominal_);
            for (const HeardStamp& s : current)
                fit.add(s);
        };
        for (const HeardStamp& s : stamps) {
            if (current.empty()) {
                startPiece({s});
                continue;
            }
            if (std::fabs(static_cast<double>(s.ns) - fit.nsAt(static_cast<double>(s.sample))) <= bound) {
                current.push_back(s);
                fit.add(s);
                pending.clear();
                continue;
            }
            // Out of line: the start of a new piece only if the ones out of
            // line so far keep to one line of their own.
            if (!pending.empty()) {
                const HeardStamp& p = pending.back();
                const double step = static_cast<double>(s.ns - p.ns) - static_cast<double>(s.sample - p.sample) * nominal_;
                if (std::fabs(step) > bound)
                    pending.clear();
            }
            pending.push_back(s);
            if (pending.size() >= kStepStamps) {
                startPiece(std::move(pending));
                pending.clear();
            }
        }
        if (current.size() >= kStepStamps)
            kept.push_back(std::move(current));

        std::vector<double> residuals;
        for (const std::vector<HeardStamp>& piece : kept) {
            LineFit whole(piece.front(), nominal_);
            for (const HeardStamp& s : piece)
                whole.add(s);
            pieces_.push_back({piece.front().sample, piece.back().sample, whole});
        }
        // Every stamp against the line of the piece its sample falls in,
        // the ones left out of the fit too.
        for (const HeardStamp& s : stamps) {
            const double ns = nsAt(static_cast<double>(s.sample));
            if (!std::isnan(ns))
                residuals.push_back(std::fabs(static_cast<double>(s.ns) - ns));
        }
        if (!residuals.empty()) {
            std::sort(residuals.begin(), residuals.end());
            residualP95Ns_ = residuals[(residuals.size() * 95 + 99) / 100 - 1];
        }
    }

    bool empty() const { return pieces_.empty(); }
    int pieces() const { return static_cast<int>(pieces_.size()); }
    double residualP95Ms() const { return residualP95Ns_ / 1e6; }

    // How much faster than its nominal rate the sink ran in the longest piece.
    double rateErrorPpm() const
    {
        const Piece* longest = nullptr;
        for (const Piece& p : pieces_) {
            if (!longest || p.last - p.first > longest->last - longest->first)
                longest = &p;
        }
        return longest ? (nominal_ / longest->fit.slope() - 1.0) * 1e6 : 0.0;
    }

    // Which piece `sample` lies in; -1 between pieces.
    int pieceAt(double sample) const
    {
        const Piece* p = pieceOf(sample);
        return p ? static_cast<int>(p - pieces_.data()) : -1;
    }

    // Nanoseconds per sample where `sample` was heard.
    double slopeAt(double sample) const
    {
        const Piece* p = pieceOf(sample);
        return p ? p->fit.slope() : nominal_;
    }

    // When recording sample `sample` was heard; NaN where unknown.
    double nsAt(double sample) const
    {
        const Piece* p = pieceOf(sample);
        return p ? p->fit.nsAt(sample) : kNaN;
    }

    // The recording sample heard at `ns`; NaN where nothing heard then was recorded.
    double sampleAt(double ns) const
    {
        for (size_t i = 0; i < pieces_.size(); ++i) {
            const Piece& p = pieces_[i];
            const double from = i == 0 ? -INFINITY : p.fit.nsAt(static_cast<double>(p.first));
            const double to = i + 1 == pieces_.size() ? INFINITY : p.fit.nsAt(static_cast<double>(p.last));
            if (ns >= from && ns <= to)
                return static_cast<double>(p.first) + (ns - p.fit.nsAt(static_cast<double>(p.first))) / p.fit.slope();
        }
        return kNaN;
    }

private:
    struct Piece {
        int64_t first;
        int64_t last;
        LineFit fit;
    };

    const Piece* pieceOf(double sample) const
    {
        for (size_t i = 0; i < pieces_.size(); ++i) {
            const Piece& p = pieces_[i];
            const bool afterStart = i == 0 || sample >= static_cast<double>(p.first);
            const bool beforeEnd = i + 1 == pieces_.size() || sample <= static_cast<double>(p.last);
            if (afterStart && beforeEnd)
                return &p;
        }
        return nullptr;
    }

    double nominal_;
    std::vector<Piece> pieces_;
    double residualP95Ns_ = 0.0;
};

// Which show time was on the screen when: each frame from when it was shown
// (its vblank where known, else its swap) until the next one.
class ShownTimes {
public:
    explicit ShownTimes(const std::vector<LoggedFrame>& frames)
    {
        for (const LoggedFrame& f : frames)
            shown_.emplace_back(f.shownNs(), f.showMs);
        std::stable_sort(shown_.begin(), shown_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    double showMsAt(double ns) const
    {
        auto after = std::lower_bound(shown_.begin(), shown_.end(), ns,
            [](const std::pair<int64_t, double>& f, double t) { return static_cast<double>(f.first) < t; });
        if (after == shown_.begin())
            return after->second;
        return std::prev(after)->second;
    }

private:
    std::vector<std::pair<int64_t, double>> shown_;
};

double nearestRank(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[rank > 0 ? rank - 1 : 0];
}

}  // namespace

SyncFigures measureSync(const SyncInput& in)
{
    SyncFigures figures;
    figures.searchMs = in.searchMs;
    const HeardTimes heard(in.stamps, in.sampleRate);
    if (heard.empty() || in.frames.empty())
        return figures;
    figures.pieces = heard.pieces();
    figures.rateErrorPpm = heard.rateErrorPpm();
    figures.residualP95Ms = heard.residualP95Ms();
    const ShownTimes shown(in.frames);
    const auto trackLength = static_cast<int64_t>(in.track.size());
    // The energy of every track window from running sums, so a wide search costs one product per offset.
    std::vector<double> trackEnergy(in.track.size() + 1, 0.0);
    for (size_t i = 0; i < in.track.size(); ++i)
        trackEnergy[i + 1] = trackEnergy[i] + static_cast<double>(in.track[i]) * in.track[i];
    const auto searchSamples = static_cast<int64_t>(in.searchMs * in.sampleRate / 1000.0);
    const double msPerSample = 1000.0 / in.sampleRate;
    const auto judged = [&](double ns) { return !std::isnan(ns) && ns >= static_cast<double>(in.judgeFromNs); };

    // Track sample minus recording sample, per window; INT64_MIN where unmatched.
    const int64_t windowCount = static_cast<int64_t>(in.recording.size()) / kWindow;
    std::vector<int64_t> lag(static_cast<size_t>(windowCount), INT64_MIN);
    int64_t predicted = INT64_MIN;
    int64_t previous = -1;  // the last matched window
    for (int64_t w = 0; w < windowCount; ++w) {
        const float* window = in.recording.data() + w * kWindow;
        const double windowEnergy = energy(window, kWindow);
        const double start = static_cast<double>(w * kWindow);
        const double startNs = heard.nsAt(start);
        if (windowEnergy < kLoud * kLoud * kWindow || !judged(startNs)) {
            predicted = INT64_MIN;
            continue;
        }
        ++figures.windows;
        auto matches = [&](int64_t d) {
            const int64_t at = w * kWindow + d;
            return at >= 0 && at + kWindow <= trackLength
                ? correlation(window, in.track.data() + at, kWindow, windowEnergy,
                    trackEnergy[static_cast<size_t>(at + kWindow)] - trackEnergy[static_cast<size_t>(at)])
                : 0.0;
        };
        int64_t found = INT64_MIN;
        if (predicted != INT64_MIN && matches(predicted) >= kMatch) {
            found = predicted;
        } else {
            const double expectedMs = shown.showMsAt(startNs);
            const int64_t centre = static_cast<int64_t>(expectedMs * in.sampleRate / 1000.0) - w * kWindow;
            // The loudest part of the window screens each offset first;
            // only the few offsets alike there are correlated whole.
            int64_t head = 0;
            double headEnergy = 0.0;
            for (int64_t part = 0; part < kWindow; part += kHead) {
                const double e = energy(window + part, kHead);
                if (e > headEnergy) {
                    headEnergy = e;
                    head = part;
                }
            }
            double best = kMatch;
            for (int64_t d = centre - searchSamples; d <= centre + searchSamples; ++d) {
                const int64_t at = w * kWindow + d;
                if (at < 0 || at + kWindow > trackLength)
                    continue;
                const auto part = static_cast<size_t>(at + head);
                if (correlation(window + head, in.track.data() + part, kHead, headEnergy,
                        trackEnergy[part + kHead] - trackEnergy[part])
                    < kHeadMatch)
                    continue;
                const double c = matches(d);
                if (c > best) {
                    best = c;
                    found = d;
                }
            }
        }
        lag[static_cast<size_t>(w)] = found;
        predicted = found;
        if (found == INT64_MIN)
            continue;
        if (figures.matchedWindows++ == 0) {
            figures.firstHeardMs = start * msPerSample;
            figures.firstHeardNs = static_cast<int64_t>(startNs);
        }
        // Only within one piece: across two, the step may be the stamps' and not the music's.
        const bool settled = startNs >= static_cast<double>(figures.firstHeardNs) + in.settleMs * 1e6;
        if (settled && previous >= 0 && heard.pieceAt(static_cast<double>(previous * kWindow)) == heard.pieceAt(start)) {
            // How much further the music went than the clock, in the sink's own samples.
            const double from = static_cast<double>(previous * kWindow);
            const double heardSamples = start + static_cast<double>(found) - from
                - static_cast<double>(lag[static_cast<size_t>(previous)]);
            const double clockSamples = (startNs - heard.nsAt(from)) / heard.slopeAt(start);
            const double stepMs = (heardSamples - clockSamples) * msPerSample;
            if (std::fabs(stepMs) > kJumpMs)
                figures.jumps.push_back({start * msPerSample, stepMs});
        }
        previous = w;
    }

    std::vector<double> offsets;
    for (const LoggedFrame& frame : in.frames) {
        const int64_t shownNs = frame.shownNs();
        if (shownNs < in.judgeFromNs || figures.firstHeardNs == 0
            || static_cast<double>(shownNs) < static_cast<double>(figures.firstHeardNs) + in.settleMs * 1e6)
            continue;
        const double sample = heard.sampleAt(static_cast<double>(shownNs));
        if (std::isnan(sample))
            continue;
        const auto w = static_cast<int64_t>(std::floor(sample / kWindow));
        if (w < 0 || w >= windowCount || lag[static_cast<size_t>(w)] == INT64_MIN)
            continue;
        const double heardMs = (sample + static_cast<double>(lag[static_cast<size_t>(w)])) * msPerSample;
        offsets.push_back(frame.showMs - heardMs);
        figures.offsets.emplace_back(shownNs, offsets.back());
        figures.seenFrames += frame.seenNs != 0 ? 1 : 0;
    }
    if (offsets.empty())
        return figures;
    figures.frames = static_cast<int>(offsets.size());
    figures.medianMs = nearestRank(offsets, 0.5);
    double sum = 0.0;
    std::vector<double> magnitudes;
    for (double o : offsets) {
        sum += o;
        magnitudes.push_back(std::fabs(o));
    }
    figures.meanMs = sum / static_cast<double>(offsets.size());
    figures.p95AbsMs = nearestRank(magnitudes, 0.95);
    int64_t stretchFrom = -1;
    for (const auto& [ns, offset] : figures.offsets) {
        if (std::fabs(offset - figures.medianMs) <= kOffMs) {
            stretchFrom = -1;
            continue;
        }
        if (stretchFrom < 0)
            stretchFrom = ns;
        figures.longestOffMs = std::max(figures.longestOffMs, static_cast<double>(ns - stretchFrom) / 1e6);
    }
    return figures;
}

SyncFault judgeSync(const SyncFigures& f, const SyncLimits& limits, std::string& why)
{
    char line[400];
    const auto say = [&](SyncFault fault, const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        why = line;
        return fault;
    };
    why.clear();
    if (f.windows == 0)
        return say(SyncFault::Silent,
            "the recording is silent: nothing played on the sink while the meter recorded; check that the show "
            "plays to this server");
    const double share = static_cast<double>(f.matchedWindows) / f.windows;
    if (share < limits.minMatchedShare)
        return say(SyncFault::FewMatched,
            "only %d of %d loud windows (%.1f %%) matched the track within %.0f ms of the frame log's show time: "
            "the picture is further off than that or the music was not this track; a wider --search-ms tells which",
            f.matchedWindows, f.windows, share * 100.0, f.searchMs);
    if (f.jumps.size() > limits.maxJumps)
        return say(SyncFault::MusicSkipped,
            "the music skipped %zu times, more than %zu (the first by %+.1f ms, %.2f s into the recording): the "
            "sound was interrupted, so its figures mean nothing; look for underruns or an overloaded machine",
            f.jumps.size(), limits.maxJumps, f.jumps.front().stepMs, f.jumps.front().atMs / 1000.0);
    if (f.frames < limits.minFrames)
        return say(SyncFault::FewFrames,
            "only %d frames were compared, fewer than %d: run the show longer or check that its frame log "
            "covers the recording",
            f.frames, limits.minFrames);
    if (f.medianMs < limits.medianLoMs || f.medianMs > limits.medianHiMs)
        return say(SyncFault::Median, "the median offset %+.1f ms is outside %+.1f..%+.1f ms", f.medianMs,
            limits.medianLoMs, limits.medianHiMs);
    if (f.p95AbsMs > limits.maxP95Ms)
        return say(SyncFault::P95, "the 95th percentile of |offset|, %.1f ms, is above %.1f ms", f.p95AbsMs,
            limits.maxP95Ms);
    if (f.longestOffMs > limits.maxOffStretchMs)
        return say(SyncFault::OutOfStep,
            "the picture stayed more than %.0f ms from its median offset for %.0f ms on end (at most %.0f ms "
            "allowed): the clock stood still or ran away",
            kOffMs, f.longestOffMs, limits.maxOffStretchMs);
    return SyncFault::None;
}

bool readFrameLog(const std::string& path, std::vector<LoggedFrame>& frames, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the frame log '" + path + "'";
        return false;
    }
    std::string text {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // A killed run may leave its last line unfinished: only lines that end are read.
    text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    const bool seenColumn = line == "frame,show_ms,swap_ns,beat,seen_ns";
    if (!seenColumn && line != "frame,show_ms,swap_ns,beat") {
        error = "'" + path + "' is not a frame log (its first line is not frame,show_ms,swap_ns,beat[,seen_ns])";
        return false;
    }
    for (int number = 2; std::getline(lines, line); ++number) {
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        long long frame = 0, swap = 0, seen = 0;
        int beat = 0;
        LoggedFrame entry;
        char c1 = 0, c2 = 0, c3 = 0, c4 = ',';
        bool ok = static_cast<bool>(fields >> frame >> c1 >> entry.showMs >> c2 >> swap >> c3 >> beat);
        if (ok && seenColumn)
            ok = static_cast<bool>(fields >> c4 >> seen);
        if (!ok || c1 != ',' || c2 != ',' || c3 != ',' || c4 != ',' || !(fields >> std::ws).eof()) {
            error = path + ":" + std::to_string(number) + ": not " + (seenColumn ? "frame,show_ms,swap_ns,beat,seen_ns" : "frame,show_ms,swap_ns,beat");
            return false;
        }
        entry.swapNs = swap;
        entry.seenNs = seen;
        frames.push_back(entry);
    }
    return true;
}

std::string syncJson(const SyncFigures& f, const std::string& failure)
{
    auto rounded = [](double v) { return std::round(v * 100.0) / 100.0; };
    nlohmann::json json;
    json["frames"] = f.frames;
    json["seen_frames"] = f.seenFrames;
    json["median_ms"] = rounded(f.medianMs);
    json["p95_abs_ms"] = rounded(f.p95AbsMs);
    json["mean_ms"] = rounded(f.meanMs);
    json["longest_off_ms"] = rounded(f.longestOffMs);
    json["windows"] = f.windows;
    json["matched_windows"] = f.matchedWindows;
    json["first_heard_ms"] = rounded(f.firstHeardMs);
    json["jumps"] = f.jumps.size();
    json["jump_list"] = nlohmann::json::array();
    for (const MusicJump& j : f.jumps)
        json["jump_list"].push_back({{"at_ms", rounded(j.atMs)}, {"step_ms", rounded(j.stepMs)}});
    json["pieces"] = f.pieces;
    json["rate_error_ppm"] = rounded(f.rateErrorPpm);
    json["residual_p95_ms"] = rounded(f.residualP95Ms);
    if (!failure.empty())
        json["failure"] = failure;
    return json.dump();
}
