// Helpers of the installation tests: scratch folders, running a program from
// a given working directory, the captured frames, and reading an icon.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace fs = std::filesystem;

// A fresh folder under /tmp, removed with everything in it when destroyed.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Runs `program args...` with `cwd` as its working directory and `env` added.
ChildResult runFrom(const fs::path& cwd, const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& env = {}, double seconds = 120);

// A short capture without the dialog, run from `cwd`: the frames at 40000,
// 40100 and 40200 ms into `outDir` (frame_000400.png ...). Every frame from
// the start is rendered to reach them, so the rate and size are kept small.
// `moreArgs` go after the others. Without an X display the picture is
// rendered off screen.
inline const std::vector<std::string> kShortCaptureFrames = {"frame_000400.png", "frame_000401.png", "frame_000402.png"};
ChildResult runShortCapture(const fs::path& program, const fs::path& outDir, const fs::path& cwd,
                            const std::vector<std::string>& moreArgs = {});

// The names of the files in `dir`, sorted; empty when it is missing.
std::vector<std::string> fileNamesIn(const fs::path& dir);

// An RGBA picture read from a PNG file; width 0 when it cannot be read.
struct RgbaPicture {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;  // rows top first, 4 bytes a pixel
    unsigned char alphaAt(int x, int y) const { return pixels[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
};
RgbaPicture readRgbaPng(const fs::path& path);

// The integers of a comma-separated list such as "48,128,256".
std::vector<int> numbersIn(const std::string& list);

// The whole text of a file; empty when it cannot be read.
std::string fileText(const fs::path& path);
