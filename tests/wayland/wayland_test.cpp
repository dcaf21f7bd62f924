// The program in a Wayland desktop session: the show and its launch dialog
// natively and through Xwayland, full screen, captures, and a high-density
// output, on weston nested in Xvfb (scripts/with-wayland-server.sh).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "app/png_writer.h"
#include "tests/support/process.h"
#include "tests/support/reference_picture.h"
#include "tests/support/wayland_session.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::vector<std::string> with(std::vector<std::string> env, const std::vector<std::string>& more)
{
    env.insert(env.end(), more.begin(), more.end());
    return env;
}

Process brindle(std::vector<std::string> args, const std::vector<std::string>& env)
{
    args.insert(args.end(), {"--data", kData});
    return Process(kProgram, args, with(env, {"SDL_AUDIODRIVER=dummy"}));
}

// stderr without the slow-renderer notice, which depends on the machine alone.
std::vector<std::string> linesBesidesTheSlowNotice(const std::string& err)
{
    std::vector<std::string> lines = splitLines(err);
    std::erase_if(lines, [](const std::string& line) { return line.find(" frames a second; --size ") != line.npos; });
    return lines;
}

class OnWayland : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!wayland_.ok())
            GTEST_SKIP() << "needs the Wayland test server: run under scripts/with-wayland-server.sh";
    }

    WaylandSession wayland_;
};

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// `picture` box-filtered down by `factor` in both directions.
Picture shrunk(const OutputPicture& picture, int factor)
{
    Picture small {picture.width / factor, picture.height / factor, {}};
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += picture.rgb[(static_cast<size_t>(y * factor + dy) * picture.width + x * factor + dx) * 3
                            + c];
                small.rgb.push_back(static_cast<uint8_t>(sum / (factor * factor)));
            }
    return small;
}

// The frame of a capture folder closest to `picture` (its size), by mean difference.
fs::path closestFrame(const fs::path& folder, const Picture& picture)
{
    fs::path best;
    double bestDifference = std::numeric_limits<double>::max();
    for (const std::string& name : fileNamesIn(folder)) {
        Picture frame;
        std::string error;
        if (!readPng((folder / name).string(), frame.width, frame.height, frame.rgb, error)
            || frame.rgb.size() != picture.rgb.size())
            continue;
        double difference = 0.0;
        for (size_t i = 0; i < frame.rgb.size(); ++i)
            difference += std::abs(frame.rgb[i] - picture.rgb[i]);
        if (difference < bestDifference) {
            bestDifference = difference;
            best = folder / name;
        }
    }
    return best;
}

// The show time of a captured frame at `fps`, from its file name.
int showTimeOf(const fs::path& frame, int fps)
{
    const std::string stem = frame.stem().string();
    return std::stoi(stem.substr(stem.find('_') + 1)) * 1000 / fps;
}

}  // namespace

TEST_F(OnWayland, TheShowEndsByItselfNativelyAndThroughXwaylandWithNoLineOfALibrary)
{
    for (const bool native : {true, false}) {
        const ProcessResult r
            = brindle({"--no-dialog", "--windowed", "--size", "320x200", "--start", "131000", "--stats"},
                native ? wayland_.nativeEnv() : wayland_.xwaylandEnv())
                  .finish(60);
        EXPECT_EQ(r.status, 0) << native << "\n" << r.err;
        EXPECT_EQ(linesBesidesTheSlowNotice(r.err), std::vector<std::string> {}) << native;
        EXPECT_GE(json::parse(r.out, nullptr, false).value("frames", 0), 1) << native << "\n" << r.out;
    }
}

TEST_F(OnWayland, EscapeEndsTheShowAndInTheDialogReturnLaunchesAndEscapeQuits)
{
    Process show
        = brindle({"--no-dialog", "--windowed", "--size", "320x200", "--start", "60000"}, wayland_.nativeEnv());
    ASSERT_TRUE(wayland_.waitForChange(60)) << "the show never drew\n" << show.errSoFar();
    pause(1.0);
    EXPECT_TRUE(wayland_.press("Escape"));
    const ProcessResult ended = show.finish(20);
    EXPECT_FALSE(ended.timedOut) << "Escape did not end the show";
    EXPECT_EQ(ended.status, 0) << ended.err;

    for (const std::string key : {"Return", "Escape"}) {
        Process program
            = brindle({"--windowed", "--size", "640x480", "--start", "131000", "--no-music"}, wayland_.nativeEnv());
        ASSERT_TRUE(wayland_.waitForChange(60)) << "no dialog came up\n" << program.errSoFar();
        pause(1.0);
        EXPECT_TRUE(wayland_.press(key));
        const ProcessResult r = program.finish(60);
        EXPECT_EQ(r.status, key == "Return" ? 0 : 255) << key << "\n" << r.err;
    }
}

// The compositor scales a full-screen show at a listed size to its output:
// no part of the desktop shows beside it, and the lit floor of the banner
// scene reaches the output's bottom row, where a show left at its size in the
// middle would leave a black border.
TEST_F(OnWayland, FullScreenAtAListedSizeFillsTheOutput)
{
    Process show
        = brindle({"--no-dialog", "--fullscreen", "--size", "800x600", "--start", "40000"}, wayland_.nativeEnv());
    EXPECT_TRUE(wayland_.waitForChange(60, 0.98)) << "the desktop still shows\n" << show.errSoFar();
    const OutputPicture screen = wayland_.output();
    const auto bottom = screen.rgb.end() - screen.width * 3;
    EXPECT_GT(std::count_if(bottom, screen.rgb.end(), [](uint8_t c) { return c > 16; }), screen.width)
        << "the bottom row is black";
    show.signal(SIGINT);
    const ProcessResult r = show.finish(30);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(OnWayland, ACaptureUnderWaylandIsByteIdenticalToOneUnderX)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    ScratchDir folder("capture");
    const auto capture = [&](const char* name, std::vector<std::string> env) {
        const ProcessResult r = brindle({"--capture", (folder.path() / name).string(), "--from", "40000", "--to",
                                            "40400", "--fps", "10", "--size", "160x100"},
            env)
                                    .finish(120);
        EXPECT_EQ(r.status, 0) << name << "\n" << r.err;
        return fileNamesIn(folder.path() / name);
    };
    const std::vector<std::string> wayland
        = capture("wayland", with(wayland_.nativeEnv(), {"SDL_VIDEODRIVER=wayland"}));
    const std::vector<std::string> x = capture("x", {"WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=x11"});
    ASSERT_EQ(wayland.size(), 4u);
    ASSERT_EQ(wayland, x);
    for (const std::string& frame : x)
        EXPECT_EQ(bytesOf(folder.path() / "wayland" / frame), bytesOf(folder.path() / "x" / frame)) << frame;
}

// At two pixels per point the show draws the drawable's pixels, not the
// window's points: the output, read back, is the frame a capture at the
// output's pixel size makes of the same moment. The moment is found among
// captured frames, first small and coarse, then at five-millisecond steps.
TEST(HighDensityOutput, TheShowDrawsEveryPixelOfAScaledOutput)
{
    WaylandSession scaled(2);
    if (!scaled.ok())
        GTEST_SKIP() << "needs the Wayland test server: run under scripts/with-wayland-server.sh";
    Process show = brindle(
        {"--no-dialog", "--fullscreen", "--size", "1024x768", "--start", "124000", "--no-music"}, scaled.nativeEnv());
    ASSERT_TRUE(scaled.waitForChange(60, 0.98)) << "the show never filled the output\n" << show.errSoFar();
    pause(1.0);
    const OutputPicture screen = scaled.output();
    show.signal(SIGINT);
    const ProcessResult r = show.finish(30);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(std::make_pair(screen.width, screen.height), std::make_pair(2048, 1536));

    ScratchDir folder("hidpi");
    const auto capture = [&](const std::string& name, int from, int to, int fps, const std::string& size) {
        const ProcessResult c = brindle({"--capture", (folder.path() / name).string(), "--from", std::to_string(from),
                                            "--to", std::to_string(to), "--fps", std::to_string(fps), "--size", size},
            {"SDL_VIDEODRIVER=offscreen"})
                                    .finish(240);
        EXPECT_EQ(c.status, 0) << c.err;
        return folder.path() / name;
    };
    const Picture small = shrunk(screen, 8);
    const int coarse = showTimeOf(closestFrame(capture("coarse", 124000, 130000, 20, "256x192"), small), 20);
    const fs::path fine = closestFrame(capture("fine", coarse - 50, coarse + 50, 200, "256x192"), small);
    const int moment = showTimeOf(fine, 200);
    const fs::path full = capture("full", moment, moment + 5, 200, "2048x1536");
    const std::vector<std::string> frames = fileNamesIn(full);
    ASSERT_EQ(frames.size(), 1u);
    Picture shown {screen.width, screen.height, screen.rgb};
    EXPECT_EQ(matchReference((full / frames[0]).string(), shown), "") << "at " << moment << " ms";
}
