// The live show through the sound servers users run: the private PulseAudio
// and PipeWire of scripts/with-sound-server.sh, each with a null sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "tests/support/process.h"
#include "tests/support/sound_server.h"

namespace {

// Every line whole and in order: frame counting from 0, show time never
// backwards, swaps strictly later, beat 0 or 1, nothing seen before its swap.
void expectWholeFrameLog(const std::filesystem::path& log, size_t atLeast)
{
    std::ifstream in(log);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "frame,show_ms,swap_ns,beat,seen_ns");
    size_t frames = 0;
    double lastShow = 0.0;
    long long lastSwap = 0;
    while (std::getline(in, line)) {
        unsigned long long frame = 0;
        double show = 0.0;
        long long swap = 0, seen = -1;
        int beat = -1, used = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%llu,%lf,%lld,%d,%lld%n", &frame, &show, &swap, &beat, &seen, &used), 5)
            << line;
        EXPECT_TRUE(seen == 0 || seen > swap) << line;
        EXPECT_EQ(static_cast<size_t>(used), line.size()) << line;
        EXPECT_EQ(frame, frames);
        EXPECT_GE(show, lastShow);
        EXPECT_GT(swap, lastSwap);
        EXPECT_TRUE(beat == 0 || beat == 1);
        lastShow = show;
        lastSwap = swap;
        ++frames;
    }
    EXPECT_GE(frames, atLeast);
}

}  // namespace

TEST(SoundServers, TheShowIsHeardThroughEachAndLogsEveryFrameItPresents)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    for (const char* server : {"PULSE_SERVER", "BRINDLE_PIPEWIRE_SERVER"}) {
        SCOPED_TRACE(server);
        const char* address = std::getenv(server);
        if (!address) {
            ADD_FAILURE() << server << " is not set: run under scripts/with-sound-server.sh";
            continue;
        }
        ScratchDir scratch("sound");
        const auto log = scratch.path() / "frames.csv";
        Process show(BRINDLE_PROGRAM,
            {"--no-dialog", "--windowed", "--size", "160x100", "--no-vsync", "--start", "130000", "--frame-log",
                log.string(), "--data", BRINDLE_TEST_DATA_DIR},
            {"SDL_AUDIODRIVER=", std::string("PULSE_SERVER=") + address});
        EXPECT_TRUE(streamPlaysOn(address, "brindle", 20)) << "no stream of the show on the server\n"
                                                           << show.errSoFar();
        // The PulseAudio run ends by itself; the PipeWire one is killed, and keeps the lines it logged.
        if (std::string(server) == "BRINDLE_PIPEWIRE_SERVER") {
            for (int i = 0; i < 400 && std::ranges::count(bytesOf(log), '\n') < 5; ++i)
                show.collect(50);
            show.signal(SIGKILL);
        }
        const ProcessResult result = show.finish(60);
        EXPECT_EQ(result.status, std::string(server) == "PULSE_SERVER" ? 0 : 128 + SIGKILL) << result.err;
        for (const std::string& line : splitLines(result.err))
            EXPECT_NE(line.find("frames a second"), std::string::npos) << "stderr: " << line;
        expectWholeFrameLog(log, 4);
    }
}
