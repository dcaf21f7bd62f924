// options.h: the command line.
//
// One table in options.cpp names every option with its value, its help line,
// the range of a number and its rule; it drives the parser, the usage text
// and, through a test, the option lists of the manual page and the README.
//
// parseOptions() turns argv into Options and never exits or prints; main()
// prints usageText() on stderr and exits 2 when it returns false. An option
// left out is an empty optional; resolveLaunchSettings() fills it from the
// desktop.
//
//   Options options;
//   std::string error;
//   if (!parseOptions(argc, argv, options, error)) { ... usage, exit 2 ... }
//   LaunchSettings settings = resolveLaunchSettings(options, desktopMode());
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "desktop/display_modes.h"
#include "desktop/launch_settings.h"
#include "scene/schedule.h"

struct Options {
    bool noDialog = false;
    std::optional<int> width, height;
    std::optional<bool> fullscreen;
    std::optional<AspectCode> aspect;  // empty: "auto", the desktop's
    bool noMusic = false;
    std::optional<bool> vsync;
    std::string dataDir;    // empty: "Data" beside the executable
    std::string musicPath;  // empty: music.mp3 in the data folder
    bool stats = false;
    bool help = false;
    bool version = false;

    std::optional<uint32_t> startMs;  // the live show opens here (fast-forwarded at 60 fps)
    std::string frameLog;             // empty: no frame log
    int audioOffsetMs = 0;            // the picture is shown this much later than the music is heard

    std::string captureOut;  // empty: no capture
    bool lossless = false;   // the capture's video keeps every pixel (a .mkv only)
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

// The usage text, ending in a newline: one line per option (options that share
// a help text share a line), wrapped at 80 columns.
std::string usageText();

// The settings the show launches with (and the launch dialog starts from): the
// command line's choices, the desktop's size and aspect for the rest. Without a
// desktop (0x0, a headless capture) 1280x800 stands in. Capture and benchmarks
// run in a window unless --fullscreen asks otherwise, and never wait for the
// display.
LaunchSettings resolveLaunchSettings(const Options& options, DisplayMode desktop);
