// The live show through the PipeWire of scripts/with-sound-server.sh, with a
// null sink, as users of that sound server run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "tests/support/process.h"
#include "tests/support/sound_server.h"
#include "tools/sync_alignment.h"

// PipeWire's PulseAudio service; the fault suite runs the show on a PulseAudio of its own.
TEST(SoundServers, TheShowIsHeardThroughPipeWireAndLogsEveryFrameItPresents)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const char* address = std::getenv("BRINDLE_PIPEWIRE_SERVER");
    ASSERT_TRUE(address) << "BRINDLE_PIPEWIRE_SERVER is not set: run under scripts/with-sound-server.sh";
    ScratchDir scratch("sound");
    const auto log = scratch.path() / "frames.csv";
    Process show(BRINDLE_PROGRAM,
        {"--no-dialog", "--windowed", "--size", "160x100", "--no-vsync", "--start", "130000", "--frame-log",
            log.string(), "--data", BRINDLE_TEST_DATA_DIR},
        {"SDL_AUDIODRIVER=", std::string("PULSE_SERVER=") + address});
    EXPECT_TRUE(streamPlaysOn(address, "brindle", 20)) << "no stream of the show on the server\n" << show.errSoFar();
    // Killed, the show keeps the lines it logged.
    pollUntil(20, [&] { return std::ranges::count(bytesOf(log), '\n') >= 5; });
    show.signal(SIGKILL);
    const ProcessResult result = show.finish(60);
    EXPECT_EQ(result.status, 128 + SIGKILL) << result.err;
    for (const std::string& line : splitLines(result.err))
        EXPECT_NE(line.find("frames a second"), std::string::npos) << "stderr: " << line;
    // The log reads back as the sync meter reads it, with the seen column: show
    // time never backwards, swaps strictly later, nothing seen before its swap.
    EXPECT_TRUE(bytesOf(log).starts_with("frame,show_ms,swap_ns,beat,seen_ns\n"));
    std::vector<LoggedFrame> frames;
    std::string error;
    ASSERT_TRUE(readFrameLog(log.string(), frames, error)) << error;
    EXPECT_GE(frames.size(), 4u);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_TRUE(frames[k].seenNs == 0 || frames[k].seenNs > frames[k].swapNs) << "frame " << k;
        if (k > 0) {
            EXPECT_GE(frames[k].showMs, frames[k - 1].showMs) << "frame " << k;
            EXPECT_GT(frames[k].swapNs, frames[k - 1].swapNs) << "frame " << k;
        }
    }
}
