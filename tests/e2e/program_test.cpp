// The program as a user meets it: its keys during the show, its launch
// dialog's full-screen sizes, driven on a real X server, and its captures of
// the show to frames and videos with their statistics.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "capture/png_writer.h"
#include "show/pass_names.h"
#include "tests/support/process.h"
#include "tests/support/x_desktop.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;
const std::string kShowTitle = "brindle2o16";

class CaptureTest : public ::testing::Test {
protected:
    // Runs brindle with the data folder on whatever display there is.
    static ProcessResult brindle(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--data", kData});
        return runProcess(kProgram, args,
            {"SDL_AUDIODRIVER=dummy", std::string("SDL_VIDEODRIVER=") + (std::getenv("DISPLAY") ? "" : "offscreen")},
            240);
    }

    ScratchDir folder_ {"capture"};
};

}  // namespace

TEST(OnTheDesktop, SpacePausesTheShowRightAndLeftJumpTenSeconds)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    XDesktop desktop;
    Process show(kProgram,
        {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync", "--data", kData, "--no-music", "--start",
            "40000", "--stats"});
    const unsigned long window = desktop.waitForWindow(show.pid(), kShowTitle, 30);
    ASSERT_TRUE(window && desktop.waitForPicture(window, 30)) << show.errSoFar();
    EXPECT_TRUE(desktop.pictureMoves(window)) << "the banner stretch runs";
    ASSERT_TRUE(desktop.press(window, "space"));
    EXPECT_FALSE(desktop.pictureMoves(window)) << "paused, the picture holds";
    // Jumps made while paused show their time at once and stay paused. A jump
    // fast-forwards the show first, so its picture may take a moment.
    for (const char* jump : {"Right", "Left"}) {
        const WindowPicture before = desktop.grab(window);
        ASSERT_TRUE(desktop.press(window, jump));
        EXPECT_TRUE(pollUntil(10, [&] { return desktop.grab(window) != before; })) << jump << " while paused";
        EXPECT_FALSE(desktop.pictureMoves(window)) << "still paused after " << jump;
    }
    ASSERT_TRUE(desktop.press(window, "space"));
    EXPECT_TRUE(desktop.pictureMoves(window)) << "resumed";
    // From about 42 s into the swarm (72..89 s), then back into the plus field
    // (4..32 s), which 40 s never reaches.
    ASSERT_TRUE(desktop.press(window, "Right Right Right Right"));
    pause(0.4);
    ASSERT_TRUE(desktop.press(window, "Left Left Left Left Left Left"));
    pause(0.4);
    ASSERT_TRUE(desktop.press(window, "Escape"));
    const ProcessResult r = show.finish(30);
    ASSERT_EQ(r.status, 0) << r.err;
    json stats = json::parse(r.out, nullptr, false);
    EXPECT_EQ(stats["segments"]["intro"]["frames"], 0) << r.out;
    EXPECT_GT(stats["segments"]["swarm"]["frames"], 0) << r.out;
    EXPECT_GT(stats["segments"]["plus"]["frames"], 0) << r.out;
    EXPECT_TRUE(stats["relock_ms"].is_number()) << r.out;
}

// On a server that switches modes: the dialog refuses a size the server lacks,
// the full-screen show runs in the size chosen, and the desktop gets its mode back.
TEST(OnTheDesktop, TheDialogsFullScreenSizeIsCheckedSwitchedToAndGivenBack)
{
    const char* modeDisplay = std::getenv("BRINDLE_MODE_DISPLAY");
    if (!modeDisplay)
        GTEST_SKIP() << "needs the mode-switching X server: run under scripts/with-mode-server.sh";
    XDesktop desktop(modeDisplay);
    ASSERT_EQ(desktop.currentMode(), (ScreenMode {1920, 1080}));
    Process program(kProgram, {"--data", kData, "--no-music"}, {std::string("DISPLAY=") + modeDisplay});
    const unsigned long dialog = desktop.waitForWindow(program.pid(), "brindle kiln 2.0", 20);
    ASSERT_NE(dialog, 0u) << "no dialog window appeared\n" << program.errSoFar();
    EXPECT_EQ(desktop.waitForWindow(program.pid(), kShowTitle, 0), 0u) << "a show window while the dialog is up";
    // The dialog takes the keyboard focus itself, with or without a window manager.
    EXPECT_TRUE(pollUntil(5, [&] { return desktop.focusedWindow() == dialog; })) << "the dialog took no focus";
    // A click into the resolution field's text (its place in dialog units,
    // scaled to the window); Fullscreen is ticked already.
    const ScreenMode size = desktop.windowSize(dialog).value_or(ScreenMode {});
    ASSERT_TRUE(desktop.xdotool("mousemove --window " + std::to_string(dialog) + " "
        + std::to_string(size.width * 40 / 417) + " " + std::to_string(size.height * 26 / 87) + " click 1"));
    ASSERT_TRUE(desktop.xdotool("key ctrl+a") && desktop.xdotool("type 1024x768"));
    ASSERT_TRUE(desktop.xdotool("key Return"));
    pause(1.0);
    EXPECT_TRUE(program.running()) << "the dialog closed on a size the server does not offer";
    EXPECT_EQ(desktop.waitForWindow(program.pid(), kShowTitle, 0), 0u) << "a size the server lacks opened the show";
    ASSERT_TRUE(desktop.xdotool("key ctrl+a") && desktop.xdotool("type 1280x720"));
    ASSERT_TRUE(desktop.xdotool("key Return"));
    const unsigned long show = desktop.waitForWindow(program.pid(), kShowTitle, 60);
    ASSERT_NE(show, 0u) << "1280x720 did not open the show window\n" << program.errSoFar();
    EXPECT_TRUE(desktop.waitForMode({1280, 720}, 5));
    EXPECT_TRUE(desktop.press(show, "Escape"));
    const ProcessResult r = program.finish(30);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(desktop.currentMode(), (ScreenMode {1920, 1080}));
}

TEST_F(CaptureTest, PngCapturesStartBlackAndLateStartsDrawTheFramesOfAWholeRun)
{
    const auto capture = [&](const std::string& name, int from, int to) {
        const ProcessResult r = brindle({"--capture", (folder_.path() / name).string(), "--from", std::to_string(from),
            "--to", std::to_string(to), "--fps", "5", "--size", "64x40"});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> files = fileNamesIn(folder_.path() / name);
        // The progress counts the frames captured, not those skipped to reach the span.
        const std::string count = std::to_string(files.size());
        EXPECT_NE(r.err.find("brindle: " + count + "/" + count + " frames (100%)"), std::string::npos) << r.err;
        return files;
    };
    const std::vector<std::string> whole = capture("whole", 0, 92400);
    ASSERT_EQ(whole.size(), 462u);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(readPng((folder_.path() / "whole" / whole[0]).string(), w, h, rgb, error)) << error;
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(64, 40));
    EXPECT_TRUE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t c) { return c == 0; })) << "frame 0 is not black";

    // Inside the plus field's scatter, the first banner's fade out and the first greeting's burst.
    for (int from : {28000, 44600, 91800}) {
        const std::string name = std::to_string(from);
        const std::vector<std::string> late = capture(name, from, from + 600);
        EXPECT_EQ(late.size(), 3u) << from;
        for (const std::string& frame : late)
            EXPECT_EQ(bytesOf(folder_.path() / name / frame), bytesOf(folder_.path() / "whole" / frame)) << frame;
    }
}

// Each video as ffprobe sees it, and decoded as its tags say against the PNG
// frames of its span: a lossless video gives their pixels, a lossy one comes
// within about 1 % at this size (mean absolute error; a matrix other than the
// tagged one is off by 2.4 %). 4:2:0 needs even sides, RGB any.
TEST_F(CaptureTest, VideosHaveTheFramesMusicAndColourTagsAndDecodeToThePngFramesColours)
{
    const auto capture = [&](const fs::path& out, const std::string& size, bool lossless) {
        std::vector<std::string> args
            = {"--capture", out.string(), "--fps", "30", "--from", "62000", "--to", "62500", "--size", size};
        if (lossless)
            args.push_back("--lossless");
        return brindle(args);
    };
    // Colour tags: matrix, primaries, transfer, range.
    struct Row {
        std::string file, size, codec, pixels, audio;
        int width, height;
        std::string tags;
        size_t warnings;
        double largestError;
    };
    for (const Row& row : std::vector<Row> {
             {"short.mp4", "160x100", "h264", "yuv420p", "aac", 160, 100, "bt709/bt709/bt709/tv", 0, 0.016},
             {"odd.webm", "161x101", "vp9", "yuv420p", "opus", 160, 100, "bt709/bt709/bt709/tv", 1, 0.016},
             {"master.mkv", "161x101", "ffv1", "bgr0", "pcm_f32le", 161, 101, "gbr/bt709/iec61966-2-1/pc", 0, 0.0},
         }) {
        const fs::path video = folder_.path() / row.file;
        const ProcessResult r = capture(video, row.size, row.codec == "ffv1");
        ASSERT_EQ(r.status, 0) << r.err;
        // ffprobe's view: the format and the streams, the picture's first.
        json probed = json::parse(
            runProcess("ffprobe", {"-v", "error", "-show_format", "-show_streams", "-of", "json", video.string()}).out,
            nullptr, false);
        const json picture = probed["streams"][0];
        EXPECT_EQ(picture.value("codec_name", ""), row.codec) << row.file;
        EXPECT_EQ(picture.value("pix_fmt", ""), row.pixels) << row.file;
        EXPECT_EQ(picture.value("color_space", "") + "/" + picture.value("color_primaries", "") + "/"
                + picture.value("color_transfer", "") + "/" + picture.value("color_range", ""),
            row.tags)
            << row.file;
        EXPECT_EQ(probed["streams"][1].value("codec_name", ""), row.audio) << row.file;
        // The longer stream sets it: music running past the span shows here.
        EXPECT_NEAR(std::stod(probed["format"].value("duration", "0")), 0.5, 0.05) << row.file;
        EXPECT_EQ(
            std::ranges::count_if(splitLines(r.err), [](const std::string& l) { return l.find("even") != l.npos; }),
            row.warnings)
            << r.err;

        const fs::path pngs = folder_.path() / (row.file + ".frames");
        ASSERT_EQ(capture(pngs, std::to_string(row.width) + "x" + std::to_string(row.height), false).status, 0);
        const std::string frames = decodedFrames({"-pattern_type", "glob", "-i", (pngs / "*.png").string()});
        const std::string decoded = decodedFrames({"-i", video.string()});
        ASSERT_EQ(decoded.size(), frames.size()) << row.file;
        if (row.largestError == 0.0) {
            EXPECT_TRUE(decoded == frames) << row.file << " is not the PNG frames' pixels";
            continue;
        }
        double total = 0.0;
        for (size_t i = 0; i < frames.size(); ++i)
            total += std::abs(static_cast<uint8_t>(decoded[i]) - static_cast<uint8_t>(frames[i]));
        EXPECT_LT(total / 255.0 / static_cast<double>(frames.size()), row.largestError) << row.file;
    }
}

TEST_F(CaptureTest, BenchPrintsItsStatisticsOnOneLine)
{
    const ProcessResult r = brindle({"--bench", "--fps", "2", "--size", "160x100"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(splitLines(r.out).size(), 1u) << r.out;
    json stats = json::parse(r.out);
    EXPECT_EQ(stats["frames"], 269);
    EXPECT_GT(stats.value("beats", 0), 0) << r.out;
    for (const char* step : {"before_window", "window", "music", "shaders", "textures", "show"})
        EXPECT_TRUE(stats["startup_steps_ms"][step].is_number()) << step;
    // Without timer queries in the driver there are no pass times at all.
    if (stats.contains("passes_ms")) {
        double sum = 0.0;
        for (const char* pass : passNames()) {
            ASSERT_TRUE(stats["passes_ms"][pass].is_number()) << pass;
            EXPECT_GT(stats["passes_ms"][pass].get<double>(), 0.0) << pass;
            sum += stats["passes_ms"][pass].get<double>();
        }
        EXPECT_EQ(stats["passes_ms"].size(), passNames().size());
        // GPU timestamps and the frame's wall time come from different clocks: allow a little.
        EXPECT_LT(sum, stats["frame_ms"]["mean"].get<double>() * 1.05 + 0.5) << r.out;
    }

    // A span alone, nothing drawn before or after, to a tracker module from
    // Debian's archive (not one of ours), which plays and drives the beats.
    const ProcessResult span = brindle({"--bench", "--fps", "2", "--size", "160x100", "--from", "72000", "--to",
        "82000", "--music", "/usr/share/games/tecnoballz/musics/area2-game.mod"});
    ASSERT_EQ(span.status, 0) << span.err;
    stats = json::parse(span.out);
    EXPECT_EQ(stats["frames"], 20) << span.out;
    EXPECT_EQ(stats["segments"]["swarm"]["frames"], 20) << span.out;
    EXPECT_GT(stats.value("beats", 0), 0) << span.out;
}
