// options.h: the command line.
//
// parseOptions() turns argv into Options and never exits or prints; main()
// prints usageText() on stderr and exits 2 when it returns false. An option
// left out keeps the launch dialog's default (an empty optional).
//
//   Options options;
//   std::string error;
//   if (!parseOptions(argc, argv, options, error)) { ... usage, exit 2 ... }
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/schedule.h"

struct Options {
    bool noDialog = false;
    std::optional<int> width, height;
    std::optional<bool> fullscreen;
    std::optional<int> aspectIndex;  // 0 auto, 1 4:3, 2 5:4, 3 16:9, 4 16:10
    bool noMusic = false;
    std::optional<bool> vsync;
    std::string dataDir;             // empty: "Data" beside the executable
    std::string musicPath;           // empty: music.mp3 in the data folder
    bool stats = false;
    bool help = false;
    bool version = false;

    std::optional<uint32_t> startMs; // the live show opens here (fast-forwarded at 60 fps)

    std::string captureOut;          // empty: no capture
    std::optional<int> fps;
    uint32_t fromMs = 0;
    uint32_t toMs = kShowLengthMs;
    bool bench = false;

    // True when frames are stepped at a fixed rate (capture or benchmark).
    bool fixedStep() const { return bench || !captureOut.empty(); }
    int framesPerSecond() const { return fps.value_or(60); }
};

// Parses argv[1..]. Returns false with a one-line reason in `error` for an
// unknown option, a missing or malformed value, or a contradiction.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The usage text, ending in a newline.
std::string usageText();

// Parses "WxH" with both sides in 1..16384. Returns false when malformed.
bool parseSize(const std::string& text, int& width, int& height);
