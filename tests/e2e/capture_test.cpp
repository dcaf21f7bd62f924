// The program capturing the show to frames and videos, and its statistics.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "app/png_writer.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kData + "/music.mp3"))
            GTEST_SKIP() << "needs the generated Data folder";
    }

    // Starts brindle with the data folder on whatever display there is.
    static Process start(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--data", kData});
        std::vector<std::string> env = {"SDL_AUDIODRIVER=dummy"};
        if (!std::getenv("DISPLAY"))
            env.push_back("SDL_VIDEODRIVER=offscreen");
        return Process(kProgram, args, env);
    }
    static ProcessResult brindle(std::vector<std::string> args) { return start(std::move(args)).finish(240); }

    ScratchDir folder_ {"capture"};
};

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ffprobe's view of a video: its format and its streams, frames counted.
json probe(const fs::path& file)
{
    const ProcessResult r = runProcess(
        "ffprobe", {"-v", "error", "-count_frames", "-show_format", "-show_streams", "-of", "json", file.string()});
    return json::parse(r.out, nullptr, false);
}

json streamOf(const json& probed, const std::string& type)
{
    for (const json& stream : probed.value("streams", json::array()))
        if (stream.value("codec_type", "") == type)
            return stream;
    return json::object();
}

}  // namespace

TEST_F(CaptureTest, PngCapturesStartBlackAndLateStartsDrawTheFramesOfAWholeRun)
{
    const auto capture = [&](const std::string& name, int from, int to) {
        const ProcessResult r = brindle({"--capture", (folder_.path() / name).string(), "--from", std::to_string(from),
            "--to", std::to_string(to), "--fps", "5", "--size", "64x40"});
        EXPECT_EQ(r.status, 0) << r.err;
        return fileNamesIn(folder_.path() / name);
    };
    const std::vector<std::string> whole = capture("whole", 0, 92400);
    ASSERT_EQ(whole.size(), 462u);
    EXPECT_EQ(whole[0], "frame_000000.png");
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(readPng((folder_.path() / "whole" / whole[0]).string(), w, h, rgb, error)) << error;
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(64, 40));
    EXPECT_TRUE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t c) { return c == 0; })) << "frame 0 is not black";
    ASSERT_TRUE(readPng((folder_.path() / "whole" / whole[2]).string(), w, h, rgb, error)) << error;
    EXPECT_FALSE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t c) { return c == 0; })) << "the fade never lifts";

    // Inside the plus field's scatter, the first banner's fade out and the first greeting's burst.
    for (int from : {28000, 44600, 91800}) {
        const std::string name = std::to_string(from);
        const std::vector<std::string> late = capture(name, from, from + 600);
        EXPECT_EQ(late.size(), 3u) << from;
        for (const std::string& frame : late)
            EXPECT_EQ(bytesOf(folder_.path() / name / frame), bytesOf(folder_.path() / "whole" / frame)) << frame;
    }
}

TEST_F(CaptureTest, VideosHaveTheFramesDurationAndMusicAtAnEvenSize)
{
    const struct {
        const char* file;
        const char* size;
        const char* codec;
        size_t warnings;
    } cases[] = {{"short.mp4", "160x100", "h264", 0}, {"odd.webm", "161x101", "vp9", 1}};
    for (const auto& c : cases) {
        const fs::path video = folder_.path() / c.file;
        const ProcessResult r
            = brindle({"--capture", video.string(), "--fps", "30", "--from", "1000", "--to", "1500", "--size", c.size});
        ASSERT_EQ(r.status, 0) << r.err;
        const json probed = probe(video);
        const json picture = streamOf(probed, "video");
        EXPECT_EQ(picture.value("codec_name", ""), c.codec) << c.file;
        EXPECT_EQ(picture.value("pix_fmt", ""), "yuv420p") << c.file;
        EXPECT_EQ(picture.value("width", 0), 160) << c.file;
        EXPECT_EQ(picture.value("height", 0), 100) << c.file;
        EXPECT_EQ(picture.value("nb_read_frames", ""), "15") << c.file;
        EXPECT_FALSE(streamOf(probed, "audio").empty()) << c.file;
        // The longer stream sets it: music running past the span shows here.
        EXPECT_NEAR(std::stod(probed["format"].value("duration", "0")), 0.5, 0.05) << c.file;
        const std::vector<std::string> lines = splitLines(r.err);
        EXPECT_EQ(
            std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("even") != l.npos; }),
            c.warnings)
            << r.err;
    }
}

TEST_F(CaptureTest, InterruptingLeavesAPlayableVideo)
{
    const fs::path video = folder_.path() / "cut.mkv";
    Process child = start({"--capture", video.string(), "--size", "160x100"});
    std::this_thread::sleep_for(std::chrono::seconds(4));
    child.signal(SIGINT);
    const ProcessResult r = child.finish(60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    const int frames = std::stoi(streamOf(probe(video), "video").value("nb_read_frames", "0"));
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 8040);
}

TEST_F(CaptureTest, BenchPrintsItsStatisticsOnOneLine)
{
    const ProcessResult r = brindle({"--bench", "--fps", "2", "--size", "160x100"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(splitLines(r.out).size(), 1u) << r.out;
    json stats = json::parse(r.out);
    EXPECT_EQ(stats["frames"], 269);
    // Each segment holds the frames whose show time lies in it, at 2 fps.
    std::vector<int> frames;
    for (const char* name : {"intro", "plus", "banners", "swarm", "greetings", "credits"})
        frames.push_back(stats["segments"][name].value("frames", -1));
    EXPECT_EQ(frames, (std::vector<int> {8, 56, 74, 34, 42, 48})) << r.out;
    EXPECT_GT(stats.value("beats", 0), 0) << r.out;
    for (const char* step : {"before_window", "window", "music", "shaders", "textures", "show"})
        EXPECT_TRUE(stats["startup_steps_ms"][step].is_number()) << step;
    // Without timer queries in the driver there are no pass times at all.
    if (stats.contains("passes_ms")) {
        double sum = 0.0;
        for (const char* pass :
            {"shadow", "shadow_blur", "camera", "camera_blur", "backdrop", "bleed", "glow", "overlay", "fades"}) {
            ASSERT_TRUE(stats["passes_ms"][pass].is_number()) << pass;
            EXPECT_GT(stats["passes_ms"][pass].get<double>(), 0.0) << pass;
            sum += stats["passes_ms"][pass].get<double>();
        }
        EXPECT_EQ(stats["passes_ms"].size(), 9u);
        // GPU timestamps and the frame's wall time come from different clocks: allow a little.
        EXPECT_LT(sum, stats["frame_ms"]["mean"].get<double>() * 1.05 + 0.5) << r.out;
    }
}

TEST_F(CaptureTest, AModuleGivenWithMusicPlaysAndDrivesTheBeats)
{
    // A tracker module from Debian's archive, not one of ours.
    const std::string module = "/usr/share/games/tecnoballz/musics/area2-game.mod";
    if (!fs::exists(module))
        GTEST_SKIP() << "needs the tecnoballz-data package";
    const ProcessResult r = brindle({"--capture", folder_.path().string(), "--from", "20000", "--to", "23000", "--fps",
        "10", "--size", "160x100", "--stats", "--music", module});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(json::parse(r.out, nullptr, false).value("beats", 0), 0) << r.out;
}
