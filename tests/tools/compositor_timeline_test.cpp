// The compositor timeline check: frames matched to commits and vblanks, and
// judder measured.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

#include "tools/compositor_timeline.h"

// weston 10's timeline of the show run with --no-vsync at 320x200 on a busy
// machine, and the show's frame log of its first 25 frames. Read by hand from
// the capture: frame 0's commit came 92 ms after its swap
// (the window was being mapped) and is no frame's; frame 1 was committed
// 0.1 ms before its swap returned, flushed, and shown at the vblank of
// 1708.524245488 s; frame 18 was committed before the repaint that took
// frame 17 had finished, and frame 19 came before the next flush, so
// frame 18 was replaced unseen; frame 22's commit came 11.8 ms after its
// swap. Surface 5 is the show's window; its decorations (6, 7) commit at
// start-up, one of them 6.4 ms after frame 2's swap.
TEST(CompositorTimeline, FramesAreMatchedToTheShowsCommitsAndTheVblankThatShowedThem)
{
    std::ifstream in(BRINDLE_TOOLS_TEST_DATA "/weston_timeline.jsonl");
    CompositorTimeline timeline;
    std::vector<LoggedFrame> frames;
    std::string error;
    ASSERT_TRUE(readTimeline(in, timeline, error)) << error;
    ASSERT_TRUE(readFrameLog(BRINDLE_TOOLS_TEST_DATA "/weston_frames.csv", frames, error)) << error;
    ASSERT_EQ(frames.size(), 25u);
    EXPECT_EQ(timeline.commits.size(), 3u);

    // What each case is, the ns added to every swap, the program's seen_ns less the vblank (INT64_MIN: not
    // known), and the surface and the share of seen_ns agreeing found.
    for (const auto& [name, shiftNs, programOffNs, surface, agreeingShare] :
        std::vector<std::tuple<const char*, int64_t, int64_t, int, double>> {
            {"as captured, without seen_ns", 0, INT64_MIN, 5, 0.0},
            {"the program knew each vblank to 0.9 ms", 0, 900'000, 5, 1.0},
            {"the program's vblanks 1.5 ms off", 0, 1'500'000, 5, 0.0},
            {"a log 20 ms from every commit: another run's", 20'000'000, INT64_MIN, -1, 0.0},
        }) {
        SCOPED_TRACE(name);
        std::vector<LoggedFrame> log = frames;
        for (LoggedFrame& frame : log)
            frame.swapNs += shiftNs;
        if (programOffNs != INT64_MIN) {
            const SeenFigures truth = compareSeen(timeline, frames);
            for (size_t i = 0; i < log.size(); ++i)
                log[i].seenNs = truth.bySurface[i].seenNs ? truth.bySurface[i].seenNs + programOffNs : 0;
        }
        const SeenFigures f = compareSeen(timeline, log);
        EXPECT_EQ(f.surface, surface);
        if (surface < 0)
            continue;
        EXPECT_EQ(f.description, "top-level window 'brindle2o16' of brindle");
        EXPECT_EQ(std::tuple(f.matched, f.seen, f.replaced), std::tuple(24, 23, 1));
        EXPECT_EQ(
            std::tuple(f.bySurface[0].seenNs, f.bySurface[1].seenNs, f.bySurface[18].seenNs, f.bySurface[22].seenNs),
            std::tuple(0, 1708524245488, 0, 1709476087436));
        EXPECT_NEAR(f.swapToSeenP95Ms, 35.78, 0.01);
        EXPECT_DOUBLE_EQ(f.agreeingShare, agreeingShare);
    }
}

// Judder: a display-locked show steps by the vblank's step; a frame drawn
// 3.3 ms off it in the first two seconds is start-up and not counted, one
// in ten past them is.
TEST(CompositorTimeline, JudderIsTheShowStepAgainstTheVblankStepPastTheFirstTwoSeconds)
{
    std::ostringstream events;
    events << "{ \"id\":1, \"type\":\"weston_output\", \"name\":\"X1\" }\n"
           << "{ \"id\":4, \"type\":\"weston_surface\", \"desc\":\"top-level window of brindle\" }\n";
    std::vector<LoggedFrame> frames;
    const int64_t t0 = 100'000'000'000, period = 16'666'667;
    const auto at = [](int64_t ns) {
        return "[" + std::to_string(ns / 1'000'000'000) + ", " + std::to_string(ns % 1'000'000'000) + "]";
    };
    for (int i = 0; i < 300; ++i) {
        const int64_t swap = t0 + i * period;
        const bool off = i % 10 == 5;
        frames.push_back({i * 16.666667 + (off ? 3.3 : 0.0), swap, 0});
        events << "{ \"T\":" << at(swap + 100'000) << ", \"N\":\"core_commit_damage\", \"ws\":4 }\n"
               << "{ \"T\":" << at(swap + 2'000'000) << ", \"N\":\"core_flush_damage\", \"ws\":4, \"wo\":1 }\n"
               << "{ \"T\":" << at(swap + 9'000'000) << ", \"N\":\"core_repaint_finished\", \"wo\":1, "
               << "\"vblank_monotonic\":" << at(swap + 8'000'000) << " }\n";
    }
    events << "{ \"T\":[100, 12";  // stopped mid-line
    std::istringstream in(events.str());
    CompositorTimeline timeline;
    std::string error;
    ASSERT_TRUE(readTimeline(in, timeline, error)) << error;
    const SeenFigures f = compareSeen(timeline, frames);
    EXPECT_EQ(std::pair(f.seen, f.judderFrames), std::pair(300, 300 - 120));
    EXPECT_NEAR(f.swapToSeenMedianMs, 8.0, 1e-6);
    EXPECT_NEAR(f.judderMedianMs, 0.0, 1e-3);
    EXPECT_NEAR(f.judderP95Ms, 3.3, 1e-3);
}
