// Reading the compositor's timeline, and matching the show's frames to its commits.
#include "tools/compositor_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include <nlohmann/json.hpp>

namespace {

// The compositor handles a frame's commit after the program sent it, which is
// a little before its swap returned, and, on a busy machine, up to a frame
// or more after. So a frame's commit is the first one from shortly before
// its swap until the next frame's; a commit before that belongs to no frame
// (the toolkit's own, for a resize or its decorations).
constexpr int64_t kEarlyNs = 5'000'000;
constexpr int64_t kLateNs = 50'000'000;
// The show's surface is the one with most commits this close to a swap;
// the loose match above would pair any busy surface's commits with frames.
constexpr int64_t kInStepNs = 5'000'000;
// The show's seen_ns and the compositor's vblank are the same event; they
// may differ by the rounding of the two reports.
constexpr int64_t kAgreeNs = 1'000'000;
// Judder is judged once the first frames' start-up has passed.
constexpr int64_t kSettleNs = 2'000'000'000;

int64_t nsOf(const nlohmann::json& time)
{
    if (!time.is_array() || time.size() != 2 || !time[0].is_number_integer() || !time[1].is_number_integer())
        return 0;
    return time[0].get<int64_t>() * 1'000'000'000 + time[1].get<int64_t>();
}

double nearestRank(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[rank > 0 ? rank - 1 : 0];
}

// Frame index -> commit index, in order; -1 where a frame has no commit.
std::vector<int> matchCommits(const std::vector<SurfaceCommit>& commits, const std::vector<LoggedFrame>& frames)
{
    std::vector<int> match(frames.size(), -1);
    const auto early = [&](size_t i) {
        return i == 0 ? kEarlyNs : std::min(kEarlyNs, (frames[i].swapNs - frames[i - 1].swapNs) / 2);
    };
    size_t c = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const int64_t from = frames[i].swapNs - early(i);
        int64_t until = frames[i].swapNs + kLateNs;
        if (i + 1 < frames.size())
            until = std::min(until, frames[i + 1].swapNs - early(i + 1));
        while (c < commits.size() && commits[c].ns < from)
            ++c;
        if (c < commits.size() && commits[c].ns < until)
            match[i] = static_cast<int>(c++);
    }
    return match;
}

}  // namespace

bool readTimeline(std::istream& in, CompositorTimeline& timeline, std::string& error)
{
    std::map<int, std::vector<size_t>> unflushed;                // by surface
    std::map<int, std::vector<std::pair<int, size_t>>> flushed;  // by output: surface, commit
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty())
            continue;
        const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        if (event.is_discarded() || !event.is_object()) {
            if (in.peek() == std::char_traits<char>::eof())
                break;
            error = "timeline line " + std::to_string(number) + " is not a JSON object";
            return false;
        }
        if (event.contains("id")) {
            const auto desc = event.find("desc");
            if (event.value("type", "") == "weston_surface" && desc != event.end() && desc->is_string())
                timeline.descriptions[event["id"].get<int>()] = desc->get<std::string>();
            continue;
        }
        const std::string name = event.value("N", "");
        const int surface = event.value("ws", -1);
        const int output = event.value("wo", -1);
        if (name == "core_commit_damage" && surface >= 0) {
            std::vector<SurfaceCommit>& commits = timeline.commits[surface];
            commits.push_back({nsOf(event["T"]), 0, false});
            unflushed[surface].push_back(commits.size() - 1);
        } else if (name == "core_flush_damage" && surface >= 0) {
            // The repaint takes the surface as its last commit left it.
            std::vector<size_t>& waiting = unflushed[surface];
            if (waiting.empty())
                continue;
            for (size_t k = 0; k + 1 < waiting.size(); ++k)
                timeline.commits[surface][waiting[k]].replaced = true;
            flushed[output].emplace_back(surface, waiting.back());
            waiting.clear();
        } else if (name == "core_repaint_finished") {
            const int64_t vblank = event.contains("vblank_monotonic") ? nsOf(event["vblank_monotonic"]) : 0;
            for (const auto& [s, k] : flushed[output]) {
                SurfaceCommit& commit = timeline.commits[s][k];
                if (commit.seenNs == 0)
                    commit.seenNs = vblank;
            }
            flushed[output].clear();
        }
    }
    return true;
}

SeenFigures compareSeen(const CompositorTimeline& timeline, const std::vector<LoggedFrame>& frames)
{
    SeenFigures f;
    f.frames = static_cast<int>(frames.size());
    f.bySurface = frames;
    for (LoggedFrame& frame : f.bySurface)
        frame.seenNs = 0;
    std::vector<int> match;
    int best = 0;
    for (const auto& [surface, commits] : timeline.commits) {
        std::vector<int> candidate = matchCommits(commits, frames);
        int inStep = 0;
        for (size_t i = 0; i < frames.size(); ++i)
            inStep += candidate[i] >= 0 && std::llabs(commits[static_cast<size_t>(candidate[i])].ns - frames[i].swapNs) <= kInStepNs;
        if (inStep > best) {
            best = inStep;
            f.surface = surface;
            match = std::move(candidate);
        }
    }
    // Fewer than half the frames in step: the log is of another run or another compositor.
    if (2 * best < f.frames)
        f.surface = -1;
    else
        f.matched = static_cast<int>(std::count_if(match.begin(), match.end(), [](int c) { return c >= 0; }));
    if (f.surface < 0)
        return f;
    const auto desc = timeline.descriptions.find(f.surface);
    f.description = desc != timeline.descriptions.end() ? desc->second : "";
    const std::vector<SurfaceCommit>& commits = timeline.commits.at(f.surface);

    std::vector<double> swapToSeen, judder;
    int agreeing = 0;
    int64_t settled = 0;
    const LoggedFrame* previous = nullptr;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (match[i] < 0)
            continue;
        const SurfaceCommit& commit = commits[static_cast<size_t>(match[i])];
        const LoggedFrame& frame = frames[i];
        f.programSeen += frame.seenNs != 0 ? 1 : 0;
        f.replaced += commit.replaced ? 1 : 0;
        if (commit.seenNs == 0)
            continue;
        f.bySurface[i].seenNs = commit.seenNs;
        ++f.seen;
        swapToSeen.push_back(static_cast<double>(commit.seenNs - frame.swapNs) / 1e6);
        agreeing += frame.seenNs != 0 && std::llabs(frame.seenNs - commit.seenNs) <= kAgreeNs ? 1 : 0;
        if (settled == 0)
            settled = commit.seenNs + kSettleNs;
        if (previous && commit.seenNs >= settled) {
            const double vblankStep = static_cast<double>(commit.seenNs - previous->seenNs) / 1e6;
            judder.push_back(std::fabs(frame.showMs - previous->showMs - vblankStep));
        }
        previous = &f.bySurface[i];
    }
    f.swapToSeenMedianMs = nearestRank(swapToSeen, 0.5);
    f.swapToSeenP95Ms = nearestRank(swapToSeen, 0.95);
    f.agreeingShare = f.seen > 0 ? static_cast<double>(agreeing) / f.seen : 0.0;
    f.judderFrames = static_cast<int>(judder.size());
    f.judderMedianMs = nearestRank(judder, 0.5);
    f.judderP95Ms = nearestRank(judder, 0.95);
    return f;
}

std::string seenJson(const SeenFigures& f)
{
    auto rounded = [](double v) { return std::round(v * 100.0) / 100.0; };
    nlohmann::json json;
    json["surface"] = f.surface;
    json["description"] = f.description;
    json["frames"] = f.frames;
    json["matched"] = f.matched;
    json["seen"] = f.seen;
    json["replaced"] = f.replaced;
    json["swap_to_seen_median_ms"] = rounded(f.swapToSeenMedianMs);
    json["swap_to_seen_p95_ms"] = rounded(f.swapToSeenP95Ms);
    json["program_seen"] = f.programSeen;
    json["seen_agree_pct"] = rounded(f.agreeingShare * 100.0);
    json["judder_frames"] = f.judderFrames;
    json["judder_median_ms"] = rounded(f.judderMedianMs);
    json["judder_p95_ms"] = rounded(f.judderP95Ms);
    return json.dump();
}
