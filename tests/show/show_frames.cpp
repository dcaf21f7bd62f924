// show_frames: renders the show off-screen and writes chosen frames as PNG files.
//
//   show_frames DATA_DIR OUT_DIR WIDTH HEIGHT FRAME_MS TIME_MS...
// Frames run every FRAME_MS from 0; a frame is written at each listed time
// (which must be ascending) as OUT_DIR/frame_<time>.png. At the end it prints how
// many frames ran and their mean wall-clock time (read-backs excluded).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/gl_api.h"
#include "show_harness.h"

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: show_frames DATA_DIR OUT_DIR WIDTH HEIGHT FRAME_MS TIME_MS...\n");
        return 2;
    }
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const int frameMs = std::atoi(argv[5]);
    if (width <= 0 || height <= 0 || frameMs <= 0) {
        std::fprintf(stderr, "show_frames: width, height and frame length must be positive\n");
        return 2;
    }
    ShowHarness harness;
    std::string error;
    if (!harness.open(width, height, argv[1], error)) {
        std::fprintf(stderr, "show_frames: %s\n", error.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration rendering{};
    long frames = 0;
    for (int i = 6; i < argc; ++i) {
        const uint32_t t = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10));
        const uint32_t before = harness.lastTime();
        const Clock::time_point start = Clock::now();
        harness.runTo(t, static_cast<uint32_t>(frameMs));
        glFinish();
        rendering += Clock::now() - start;
        frames += (t - before + frameMs - 1) / frameMs;
        const std::string path = std::string(argv[2]) + "/frame_" + argv[i] + ".png";
        if (!writePng(path, harness.read(), error)) {
            std::fprintf(stderr, "show_frames: %s\n", error.c_str());
            return 1;
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(rendering).count();
    std::printf("%ld frames at %dx%d, %.2f ms per frame\n", frames, width, height,
                frames > 0 ? ms / static_cast<double>(frames) : 0.0);
    return 0;
}
