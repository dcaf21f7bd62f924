#include <gtest/gtest.h>

#include <fstream>

#include "app/capture.h"
#include "app/png_writer.h"
#include "app/application.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

TEST(CaptureSpan, HoldsTheFramesWhoseShowTimeLiesInTheSpan)
{
    const struct {
        uint32_t from, to;
        int fps;
        uint64_t first, count;
    } spans[] = {
        {0, 100, 60, 0, 6},  // 0, 16, 33, 50, 66, 83
        {17, 34, 60, 2, 1},  // 33 only: 16 is before, 50 past
        {0, 134000, 7, 0, 938},
    };
    for (const auto& s : spans) {
        const FrameSpan span = framesBetween(s.from, s.to, s.fps);
        EXPECT_EQ(span.first, s.first) << s.from << "-" << s.to;
        EXPECT_EQ(span.count(), s.count) << s.from << "-" << s.to;
    }
}

TEST(PngWriter, RoundTripsAndReportsFailures)
{
    ScratchDir scratch("png");
    const fs::path folder = scratch.path();
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

TEST(Capture, OutputsThatCannotBeWrittenAreRefusedWithTheRemedy)
{
    ScratchDir scratch("bad");
    const fs::path folder = scratch.path();
    std::ofstream(folder / "taken") << "a file";
    const struct {
        fs::path out;
        const char* path;
        const char* remedy;
    } cases[] = {
        {folder / "taken", nullptr, "give a folder, or a file ending .mp4"},
        {folder / "show.avi", nullptr, "give a folder, or a file ending .mp4"},
        {folder / "show.mp4", "/nonexistent", "apt-get install ffmpeg"},
    };
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const auto& c : cases) {
        Options options;
        options.captureOut = c.out.string();
        CaptureObserver observer(options, nullptr);
        DemoApplication app;
        app.width = 48;
        app.height = 30;
        setenv("PATH", c.path ? c.path : path.c_str(), 1);
        std::string error;
        EXPECT_FALSE(observer.begin(app, error)) << c.out;
        EXPECT_NE(error.find(c.remedy), std::string::npos) << error;
    }
    setenv("PATH", path.c_str(), 1);
}
