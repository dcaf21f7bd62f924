// Capture: the span of frames, the frame writer's order and failures, PNG
// round trips, and outputs the capture observer refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <tuple>

#include "app/application.h"
#include "app/capture_observer.h"
#include "capture/frame_writer.h"
#include "capture/png_writer.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

TEST(CaptureSpan, HoldsTheFramesWhoseShowTimeLiesInTheSpan)
{
    for (const auto& [from, to, fps, first, count] :
        std::vector<std::tuple<uint32_t, uint32_t, int, uint64_t, uint64_t>> {
            {0, 100, 60, 0, 6},  // 0, 16, 33, 50, 66, 83
            {17, 34, 60, 2, 1},  // 33 only: 16 is before, 50 past
            {0, 134000, 7, 0, 938},
        }) {
        const FrameSpan span = framesBetween(from, to, fps);
        EXPECT_EQ(span.first, first) << from << "-" << to;
        EXPECT_EQ(span.count(), count) << from << "-" << to;
    }
}

// Encoders finish out of order (frame 0 waits until frame 1 is encoded), yet
// frames are stored in submission order, each with its own pixels, and a
// failed store leaves the frames before it and no later one. Without workers
// the caller encodes and stores.
TEST(FrameWriter, StoresInSubmissionOrderAndStopsAtTheFirstFailure)
{
    struct Row {
        unsigned threads;
        bool encoder;        // without one the pixels are stored as they are
        uint64_t failingAt;  // the frame whose store fails; past the last for none
        std::vector<uint8_t> stored;
    };
    for (const auto& [threads, encoder, failingAt, stored] : std::vector<Row> {
             {3, true, 99, {0, 1, 2, 3, 4, 5, 6, 7}},
             {3, true, 3, {0, 1, 2}},
             {1, false, 99, {0, 1, 2, 3, 4, 5, 6, 7}},
             {0, true, 3, {0, 1, 2}},  // no worker: submit() does the work
         }) {
        std::mutex mutex;
        std::condition_variable changed;
        bool secondEncoded = false;
        const FrameWriter::Encode encode
            = [&](uint64_t frame, const uint8_t* pixels, std::vector<uint8_t>& out, std::string&) {
                  std::unique_lock<std::mutex> lock(mutex);
                  if (frame == 0 && threads > 1) {
                      EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return secondEncoded; }))
                          << "frame 0 was never encoded beside frame 1";
                  }
                  secondEncoded = secondEncoded || frame == 1;
                  changed.notify_all();
                  out.assign(1, pixels[0]);
                  return true;
              };
        std::vector<uint8_t> got;
        FrameWriter writer(1, threads, encoder ? encode : nullptr,
            [&](uint64_t frame, const uint8_t* bytes, size_t size, std::string& error) {
                if (frame == failingAt) {
                    error = "disk full";
                    return false;
                }
                got.insert(got.end(), bytes, bytes + size);
                return true;
            });
        for (uint8_t frame = 0; frame < 8; ++frame) {
            writer.acquire()[0] = frame;
            writer.submit(frame);
        }
        std::string error;
        EXPECT_EQ(writer.finish(error), failingAt == 99) << threads;
        EXPECT_EQ(error, failingAt == 99 ? "" : "disk full");
        EXPECT_EQ(got, stored) << threads;
        EXPECT_EQ(writer.written(), stored.size());
    }
}

TEST(PngWriter, RoundTripsAndReportsFailures)
{
    ScratchDir scratch("png");
    const std::string file = (scratch.path() / "noise.png").string();
    // Noise does not compress, so its stream spans several IDAT chunks; its
    // rows, 701 x 3 bytes, end off any alignment.
    std::vector<uint8_t> noise(701 * 700 * 3);
    std::mt19937 random(7);
    for (uint8_t& byte : noise)
        byte = static_cast<uint8_t>(random());
    std::string error;
    ASSERT_TRUE(writePng(file, 701, 700, noise.data(), error)) << error;
    int w = 0, h = 0;
    std::vector<uint8_t> back;
    ASSERT_TRUE(readPng(file, w, h, back, error)) << error;
    EXPECT_EQ(std::tuple(w, h, back == noise), std::tuple(701, 700, true));

    EXPECT_FALSE(writePng((scratch.path() / "missing" / "b.png").string(), 2, 2, noise.data(), error));
    fs::resize_file(file, fs::file_size(file) / 2);
    EXPECT_FALSE(readPng(file, w, h, back, error));
}

TEST(Capture, OutputsThatCannotBeWrittenAreRefusedWithTheRemedy)
{
    ScratchDir scratch("bad");
    const fs::path folder = scratch.path();
    std::ofstream(folder / "taken") << "a file";
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const auto& [out, path, remedy] : std::vector<std::tuple<fs::path, std::string, const char*>> {
             {folder / "taken", saved, "give a folder, or a file ending .mp4"},
             {folder / "taken" / "frames", saved, "cannot create the folder"},
             {folder / "show.mp4", "/nonexistent", "apt-get install ffmpeg"},
         }) {
        Options options;
        options.captureOut = out.string();
        CaptureObserver observer(options, nullptr);
        DemoApplication app;
        app.width = 48;
        app.height = 30;
        setenv("PATH", path.c_str(), 1);
        std::string error;
        EXPECT_FALSE(observer.begin(app, error)) << out;
        EXPECT_NE(error.find(remedy), std::string::npos) << error;
    }
    setenv("PATH", saved.c_str(), 1);
}
