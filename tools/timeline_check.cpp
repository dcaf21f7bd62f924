// timeline_check: the show's frames as the compositor showed them, from
// weston's own timeline, against the show's frame log.
//
//   weston-debug -o timeline.json timeline &   (weston started with --debug)
//   brindle ... --frame-log frames.csv
//   timeline_check --timeline timeline.json --frame-log frames.csv [--write-frame-log seen.csv]
//                  [--min-frames 600] [--max-replaced 0] [--min-agree-percent 99] [--max-judder-p95-ms 2]
//
// Finds the show's surface (the one whose commits match the log's swaps,
// frame by frame), and prints one line of JSON: frames matched and seen,
// those replaced before any vblank showed them, swap -> seen median and 95th
// percentile (ms), how many of the log's seen_ns agree with the compositor's
// vblank within 1 ms, and judder (|show-time step - vblank step| between
// seen frames, past the first two seconds). --write-frame-log writes the log
// again with the compositor's vblank as seen_ns, for sync_meter to measure
// the music heard at the moment the compositor showed each frame.
// Exit 3 with one line on stderr when a limit given fails; 1 when a file
// cannot be read or written.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "tools/compositor_timeline.h"

namespace {

int fail(const std::string& why, int status)
{
    std::fprintf(stderr, "timeline_check: %s\n", why.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string timelinePath, frameLog, writeLog;
    int minFrames = 0;
    int maxReplaced = std::numeric_limits<int>::max();
    double minAgreePercent = 0.0;
    double maxJudderP95Ms = std::numeric_limits<double>::infinity();
    CLI::App cli {"Matches the show's frame log to the compositor's timeline; exits 3 when a limit fails",
        "timeline_check"};
    cli.add_option("--timeline", timelinePath, "what weston-debug timeline wrote")->required();
    cli.add_option("--frame-log", frameLog, "the show's frame log")->required();
    cli.add_option("--write-frame-log", writeLog, "the frame log again, with the compositor's vblank as seen_ns");
    cli.add_option("--min-frames", minFrames, "fewer frames seen fails");
    cli.add_option("--max-replaced", maxReplaced, "more frames replaced before they were seen fails");
    cli.add_option("--min-agree-percent", minAgreePercent,
        "a smaller share of seen frames whose seen_ns is within 1 ms of the vblank fails");
    cli.add_option("--max-judder-p95-ms", maxJudderP95Ms, "a larger 95th percentile of judder fails");
    CLI11_PARSE(cli, argc, argv);

    std::ifstream timelineFile(timelinePath);
    if (!timelineFile)
        return fail("cannot read the timeline '" + timelinePath + "'", 1);
    CompositorTimeline timeline;
    std::vector<LoggedFrame> frames;
    std::string error;
    if (!readTimeline(timelineFile, timeline, error))
        return fail(timelinePath + ": " + error, 1);
    if (!readFrameLog(frameLog, frames, error))
        return fail(error, 1);
    const SeenFigures f = compareSeen(timeline, frames);
    std::printf("%s\n", seenJson(f).c_str());
    if (!writeLog.empty()) {
        std::FILE* out = std::fopen(writeLog.c_str(), "w");
        if (!out)
            return fail("cannot write '" + writeLog + "'", 1);
        std::fprintf(out, "frame,show_ms,swap_ns,beat,seen_ns\n");
        for (size_t i = 0; i < f.bySurface.size(); ++i) {
            const LoggedFrame& frame = f.bySurface[i];
            std::fprintf(out, "%zu,%.3f,%lld,0,%lld\n", i, frame.showMs, static_cast<long long>(frame.swapNs),
                static_cast<long long>(frame.seenNs));
        }
        if (std::fclose(out) != 0)
            return fail("cannot write '" + writeLog + "'", 1);
    }
    if (f.surface < 0)
        return fail("no surface in the timeline commits in step with the frame log: was the show on this compositor?", 3);
    if (f.seen < minFrames)
        return fail("only " + std::to_string(f.seen) + " frames were seen, fewer than " + std::to_string(minFrames), 3);
    if (f.replaced > maxReplaced)
        return fail(std::to_string(f.replaced) + " frames were replaced before a vblank showed them (at most "
                + std::to_string(maxReplaced) + " allowed)",
            3);
    if (f.agreeingShare * 100.0 < minAgreePercent) {
        char line[200];
        std::snprintf(line, sizeof line,
            "the show's seen_ns agrees with the compositor's vblank for %.1f %% of the frames seen, fewer than %.1f %%",
            f.agreeingShare * 100.0, minAgreePercent);
        return fail(line, 3);
    }
    if (f.judderP95Ms > maxJudderP95Ms) {
        char line[200];
        std::snprintf(line, sizeof line, "judder p95 %.2f ms is above %.2f ms", f.judderP95Ms, maxJudderP95Ms);
        return fail(line, 3);
    }
    return 0;
}
