#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/capture.h"
#include "app/png_writer.h"
#include "test_show.h"

namespace fs = std::filesystem;

namespace {

fs::path freshFolder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("brindle-test-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    return folder;
}

std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Captures the clear-only show into `folder` with the fixed-step clock.
int capture(const fs::path& folder, uint32_t from, uint32_t to, int fps = 60, bool quiet = true)
{
    DemoApplication app;
    prepareTestApp(app);
    ClearShow show;
    FixedStepClock clock(fps);
    RunSettings run = windowedRun(clock, 48, 30);
    run.options.captureOut = folder.string();
    run.options.fromMs = from;
    run.options.toMs = to;
    run.options.fps = fps;
    CaptureObserver observer(run.options, nullptr);
    run.observer = &observer;
    if (quiet)
        testing::internal::CaptureStderr();
    const int status = runShow(app, show, run);
    if (quiet)
        testing::internal::GetCapturedStderr();
    return status;
}

int redAt(const fs::path& file, int x, int y)
{
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    EXPECT_TRUE(readPng(file.string(), w, h, rgb, error)) << error;
    return rgb.empty() ? -1 : rgb[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
}

} // namespace

TEST(CaptureSpan, CountsTheFramesWhoseShowTimeLiesInTheSpan)
{
    FrameSpan s = framesBetween(0, 100, 60);  // 0, 16, 33, 50, 66, 83
    EXPECT_EQ(s.count(), 6u);
    s = framesBetween(17, 34, 60);  // 33 only: 16 is before, 50 past
    EXPECT_EQ(s.first, 2u);
    EXPECT_EQ(s.count(), 1u);
    EXPECT_EQ(framesBetween(0, 134000, 60).count(), 8040u);
    EXPECT_EQ(framesBetween(0, 134000, 7).count(), 938u);
    EXPECT_EQ(frameFileName(1234567), "frame_1234567.png");
}

TEST(VideoPipe, AMissingFfmpegIsOneClearError)
{
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    VideoPipe pipe;
    std::string error;
    EXPECT_FALSE(pipe.open({"x.mp4", 64, 40, 60, "", 44100}, error));
    setenv("PATH", saved.c_str(), 1);
    EXPECT_NE(error.find("ffmpeg"), std::string::npos);
    EXPECT_NE(error.find("apt-get install ffmpeg"), std::string::npos);
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
    fs::copy_file(folder / "a.png", folder / "cut.png");
    fs::resize_file(folder / "cut.png", fs::file_size(folder / "a.png") / 2);
    EXPECT_FALSE(readPng((folder / "cut.png").string(), w, h, back, error));
    fs::remove_all(folder);
}

TEST(Capture, WritesExactlyTheFramesOfTheSpanAndFadesAsTheShowWould)
{
    const fs::path folder = freshFolder("span");
    ASSERT_EQ(capture(folder, 1990, 2017), 0);
    // 1983 is rendered but not written; 2000 and 2016 are written; 2033 is never rendered.
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"frame_000120.png", "frame_000121.png"}));
    EXPECT_NEAR(redAt(folder / "frame_000120.png", 24, 15), 128, 1);
    fs::remove_all(folder);
}

TEST(Capture, AnOutputThatIsNeitherFolderNorVideoIsRefused)
{
    const fs::path folder = freshFolder("bad");
    fs::create_directories(folder);
    std::ofstream(folder / "taken") << "a file";
    for (const fs::path& out : {folder / "taken", folder / "show.avi"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(capture(out, 0, 100, 60, false), kExitStartFailed);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("give a folder, or a file ending .mp4"), std::string::npos) << printed;
    }
    fs::remove_all(folder);
}
