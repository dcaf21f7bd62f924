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
    fs::create_directories(folder);
    return folder;
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

TEST(Capture, AnOutputThatIsNeitherFolderNorVideoIsRefused)
{
    const fs::path folder = freshFolder("bad");
    std::ofstream(folder / "taken") << "a file";
    for (const fs::path& out : {folder / "taken", folder / "show.avi"}) {
        TestRun test(48, 30);
        test.settings.options.captureOut = out.string();
        test.settings.options.toMs = 100;
        CaptureObserver observer(test.settings.options, nullptr);
        test.settings.observer = &observer;
        testing::internal::CaptureStderr();
        EXPECT_EQ(test.run(), kExitStartFailed);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("give a folder, or a file ending .mp4"), std::string::npos) << printed;
    }
}
