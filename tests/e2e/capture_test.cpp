#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/png_writer.h"
#include "child_process.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kData + "/music.mp3"))
            GTEST_SKIP() << "needs the generated Data folder";
        folder_ = fs::temp_directory_path() / ("brindle-e2e-" + std::string(
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Starts brindle with the data folder on whatever display there is.
    static ChildProcess start(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--data", kData});
        std::vector<std::string> env = {"SDL_AUDIODRIVER=dummy"};
        if (!std::getenv("DISPLAY"))
            env.push_back("SDL_VIDEODRIVER=offscreen");
        return startChild(kProgram, args, env);
    }
    static ChildResult brindle(std::vector<std::string> args)
    {
        ChildProcess child = start(std::move(args));
        return finishChild(child, 240);
    }

    fs::path folder_;
};

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> sortedFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ffprobe's answer for one stream entry, e.g. ("v:0", "nb_read_frames").
std::string probe(const fs::path& file, const std::string& stream, const std::string& entry)
{
    const std::string command = "ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream="
        + entry + " -of default=noprint_wrappers=1:nokey=1 '" + file.string() + "'";
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

TEST_F(CaptureTest, PngCapturesAreRepeatableAndStartBlack)
{
    const std::vector<std::string> span = {"--size", "160x100", "--to", "50"};
    std::vector<std::string> first = span, second = span;
    first.insert(first.begin(), {"--capture", (folder_ / "a").string()});
    second.insert(second.begin(), {"--capture", (folder_ / "b").string()});
    ChildResult r = brindle(first);
    ASSERT_EQ(r.status, 0) << r.err;
    r = brindle(second);
    ASSERT_EQ(r.status, 0) << r.err;

    const auto names = sortedFiles(folder_ / "a");
    EXPECT_EQ(names, (std::vector<std::string>{"frame_000000.png", "frame_000001.png", "frame_000002.png"}));
    EXPECT_EQ(names, sortedFiles(folder_ / "b"));
    for (const std::string& name : names)
        EXPECT_EQ(bytesOf(folder_ / "a" / name), bytesOf(folder_ / "b" / name)) << name;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(readPng((folder_ / "a" / names[0]).string(), w, h, rgb, error)) << error;
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(std::count(rgb.begin(), rgb.end(), 0), static_cast<long>(rgb.size())) << "frame 0 is not black";
    ASSERT_TRUE(readPng((folder_ / "a" / names[2]).string(), w, h, rgb, error)) << error;
    EXPECT_LT(std::count(rgb.begin(), rgb.end(), 0), static_cast<long>(rgb.size())) << "the fade never lifts";
}

TEST_F(CaptureTest, LateCapturesMatchACaptureDrawnFromTheStart)
{
    const std::vector<std::string> common = {"--fps", "5", "--size", "64x40"};
    auto capture = [&](const std::string& name, const char* from, const char* to) {
        std::vector<std::string> args = {"--capture", (folder_ / name).string(), "--from", from, "--to", to};
        args.insert(args.end(), common.begin(), common.end());
        const ChildResult r = brindle(args);
        EXPECT_EQ(r.status, 0) << r.err;
    };
    capture("whole", "0", "92400");
    // Inside the plus field's scatter, the first banner's fade out and the first greeting's burst.
    for (const char* from : {"28000", "44600", "91800"}) {
        capture(from, from, std::to_string(std::atoi(from) + 600).c_str());
        const auto names = sortedFiles(folder_ / from);
        EXPECT_EQ(names.size(), 3u) << from;
        for (const std::string& name : names)
            EXPECT_EQ(bytesOf(folder_ / from / name), bytesOf(folder_ / "whole" / name)) << from << " " << name;
    }
}

TEST_F(CaptureTest, AShortVideoHasTheFramesDurationAndMusic)
{
    const fs::path video = folder_ / "short.mp4";
    const ChildResult r = brindle({"--capture", video.string(), "--fps", "30", "--from", "1000", "--to", "1500",
                                   "--size", "160x100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(video, "v:0", "pix_fmt"), "yuv420p");
    EXPECT_EQ(probe(video, "v:0", "nb_read_frames"), "15");
    EXPECT_NEAR(std::atof(probe(video, "v:0", "duration").c_str()), 0.5, 0.01);
    EXPECT_EQ(probe(video, "a:0", "codec_type"), "audio");
    EXPECT_NEAR(std::atof(probe(video, "a:0", "duration").c_str()), 0.5, 0.05);
}

TEST_F(CaptureTest, OddSizesAreRoundedWithOneWarning)
{
    const fs::path video = folder_ / "odd.webm";
    const ChildResult r = brindle({"--capture", video.string(), "--to", "100", "--size", "161x101"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(video, "v:0", "codec_name"), "vp9");
    EXPECT_EQ(probe(video, "v:0", "width"), "160");
    EXPECT_EQ(probe(video, "v:0", "height"), "100");
    size_t warnings = 0;
    for (const std::string& line : linesOf(r.err))
        warnings += line.find("even") != std::string::npos;
    EXPECT_EQ(warnings, 1u) << r.err;
}

TEST_F(CaptureTest, InterruptingLeavesAPlayableVideo)
{
    const fs::path video = folder_ / "cut.mkv";
    ChildProcess child = start({"--capture", video.string(), "--size", "160x100"});
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(child.pid, SIGINT);
    const ChildResult r = finishChild(child, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    const int frames = std::atoi(probe(video, "v:0", "nb_read_frames").c_str());
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 8040);
}

TEST_F(CaptureTest, BenchPrintsEveryStatistic)
{
    const ChildResult r = brindle({"--bench", "--fps", "2", "--size", "160x100"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    const auto json = nlohmann::ordered_json::parse(lines[0]);
    const auto keysOf = [](const nlohmann::ordered_json& object) {
        std::vector<std::string> keys;
        for (const auto& item : object.items())
            keys.push_back(item.key());
        return keys;
    };
    using Keys = std::vector<std::string>;
    const Keys figures = {"mean", "median", "p95", "p99", "max"};
    EXPECT_EQ(keysOf(json), (Keys {"frames", "startup_ms", "frame_ms", "segments", "peak_rss_mb", "beats"})) << json;
    EXPECT_EQ(json["frames"], 269);
    EXPECT_EQ(keysOf(json["frame_ms"]), figures);
    EXPECT_EQ(keysOf(json["segments"]), (Keys {"intro", "plus", "banners", "swarm", "greetings", "credits"}));
    Keys segmentKeys = figures;
    segmentKeys.push_back("frames");
    for (const auto& segment : json["segments"])
        EXPECT_EQ(keysOf(segment), segmentKeys) << segment;
    EXPECT_EQ(json["segments"]["intro"]["frames"], 8) << "intro holds 0..3500 ms at 2 fps";
    EXPECT_GT(json["peak_rss_mb"], 0);
    EXPECT_TRUE(json["beats"].is_number_unsigned());
}

TEST_F(CaptureTest, AModuleGivenWithMusicPlaysAndDrivesTheBeats)
{
    // A tracker module from Debian's archive, not one of ours.
    const std::string module = "/usr/share/games/tecnoballz/musics/area2-game.mod";
    if (!fs::exists(module))
        GTEST_SKIP() << "needs the tecnoballz-data package";
    const ChildResult r = brindle({"--capture", folder_.string(), "--from", "20000", "--to", "23000", "--fps", "10",
                                   "--size", "160x100", "--stats", "--music", module});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_GT(nlohmann::json::parse(lines[0])["beats"], 0) << r.out;
}
