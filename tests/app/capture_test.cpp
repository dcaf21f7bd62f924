#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/capture.h"
#include "app/png_writer.h"
#include "test_show.h"

namespace fs = std::filesystem;

namespace {

fs::path freshFolder(const std::string& name)
{
    const fs::path folder = fs::path(testing::TempDir()) / ("brindle-capture-" + name);
    fs::remove_all(folder);
    return folder;
}

// Captures the clear-only show into `out` at 60 frames a second; what it printed lands in `printed`.
int capture(const fs::path& out, uint32_t from, uint32_t to, std::string& printed)
{
    DemoApplication app;
    ClearShow show;
    FixedStepClock clock(60);
    RunSettings run = windowedRun(app, clock, 48, 30);
    run.options.captureOut = out.string();
    run.options.fromMs = from;
    run.options.toMs = to;
    run.options.fps = 60;
    CaptureObserver observer(run.options, nullptr);
    run.observer = &observer;
    testing::internal::CaptureStderr();
    const int status = runShow(app, show, run);
    printed = testing::internal::GetCapturedStderr();
    return status;
}

} // namespace

TEST(CaptureSpan, HoldsTheFramesWhoseShowTimeLiesInTheSpanAndSilenceOutsideTheTrack)
{
    const struct {
        uint32_t from, to;
        int fps;
        uint64_t first, count;
    } spans[] = {
        {0, 100, 60, 0, 6},  // 0, 16, 33, 50, 66, 83
        {17, 34, 60, 2, 1},  // 33 only: 16 is before, 50 past
        {0, 134000, 60, 0, 8040},
        {0, 134000, 7, 0, 938},
    };
    for (const auto& s : spans) {
        const FrameSpan span = framesBetween(s.from, s.to, s.fps);
        EXPECT_EQ(span.first, s.first) << s.from << "-" << s.to;
        EXPECT_EQ(span.count(), s.count) << s.from << "-" << s.to;
    }
    EXPECT_EQ(frameFileName(1234567), "frame_1234567.png");

    const std::vector<float> track = {1, -1, 2, -2, 3, -3};
    std::vector<float> out;
    copyAudioSpan(track, -1, 5, out);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 1, -1, 2, -2, 3, -3, 0, 0}));
    copyAudioSpan(track, 10, 2, out);
    EXPECT_EQ(out, (std::vector<float>{0, 0, 0, 0}));
}

TEST(VideoPipe, AMissingFfmpegIsOneClearError)
{
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    VideoPipe pipe;
    std::string error;
    EXPECT_FALSE(pipe.open({"x.mp4", 64, 40, 60, "", 44100}, error));
    setenv("PATH", saved.c_str(), 1);
    EXPECT_NE(error.find("apt-get install ffmpeg"), std::string::npos) << error;
    EXPECT_FALSE(pipe.isOpen());
}

TEST(PngWriter, RoundTripsAndReportsFailures)
{
    const fs::path folder = freshFolder("png");
    fs::create_directories(folder);
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};  // 2 x 2
    std::string error;
    ASSERT_TRUE(writePng((folder / "a.png").string(), 2, 2, rgb.data(), error)) << error;
    int w = 0, h = 0;
    std::vector<uint8_t> back;
    ASSERT_TRUE(readPng((folder / "a.png").string(), w, h, back, error)) << error;
    EXPECT_EQ(w * h, 4);
    EXPECT_EQ(back, rgb);

    EXPECT_FALSE(writePng((folder / "missing" / "b.png").string(), 2, 2, rgb.data(), error));
    fs::resize_file(folder / "a.png", fs::file_size(folder / "a.png") / 2);
    EXPECT_FALSE(readPng((folder / "a.png").string(), w, h, back, error));
}

TEST(Capture, WritesExactlyTheFramesOfTheSpanAndFadesAsTheShowWould)
{
    const fs::path folder = freshFolder("span");
    std::string printed;
    ASSERT_EQ(capture(folder, 1990, 2017, printed), 0) << printed;
    // 1983 is fast-forwarded but not written; 2000 and 2016 are written; 2033 is never rendered.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_000120.png", "frame_000121.png"}));
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(readPng((folder / "frame_000120.png").string(), w, h, rgb, error)) << error;
    EXPECT_NEAR(rgb[(15 * static_cast<size_t>(w) + 24) * 3], 128, 1) << "half-way through the opening fade";
}

TEST(Capture, AnOutputThatIsNeitherFolderNorVideoIsRefused)
{
    const fs::path folder = freshFolder("bad");
    fs::create_directories(folder);
    std::ofstream(folder / "taken") << "a file";
    for (const fs::path& out : {folder / "taken", folder / "show.avi"}) {
        std::string printed;
        EXPECT_EQ(capture(out, 0, 100, printed), kExitStartFailed);
        EXPECT_NE(printed.find("give a folder, or a file ending .mp4"), std::string::npos) << printed;
    }
}
