// Runs a program under test as a child with its stdout and stderr collected.
// The child leads a process group of its own: finish() waits with a limit,
// killing the group when it is exceeded, and reports any process of the group
// that outlives the program, so a helper the program forgot shows up as a
// fault. Scratch folders for the runs come with it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;         // exit status; 128 + signal number when killed
    bool timedOut = false;   // the limit passed and the group was killed
    bool leftovers = false;  // a process of the group outlived the program
    std::string out, err;
};

class Process {
public:
    // `env` entries "NAME=VALUE" set a variable, "NAME=" removes it; `cwd`
    // empty keeps ours.
    Process(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env = {},
        const std::filesystem::path& cwd = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int number) const;
    // Reads what the program has written so far, waiting at most `waitMs` for it.
    void collect(int waitMs);
    // Reads until the program's stdout (`fd` 1) or stderr (2) holds `text`;
    // false when the program ends or `seconds` pass first.
    bool awaitText(int fd, const std::string& text, double seconds);
    const std::string& outSoFar() const { return out_; }
    const std::string& errSoFar() const { return err_; }
    ProcessResult finish(double seconds);

private:
    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};  // the child's stdout and stderr
    bool reaped_ = false;
    int rawStatus_ = 0;
    std::string out_, err_;
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
    const std::vector<std::string>& env = {}, double seconds = 120, const std::filesystem::path& cwd = {});

std::vector<std::string> splitLines(const std::string& text);

// Gives a program under test `seconds` to get on.
void pause(double seconds);

// Asks `done` every `everyMs` until it holds or `seconds` have passed; whether it held.
bool pollUntil(double seconds, const std::function<bool()>& done, int everyMs = 50);

// The frames of a video or of pictures as ffmpeg decodes them, raw in
// `pixels` (rgb24, rgba), each frame as its file holds it; `input` is ffmpeg's
// input options and file. Empty when they cannot be decoded.
std::string decodedFrames(const std::vector<std::string>& input, const std::string& pixels = "rgb24");

// The whole contents of `file`; empty when it cannot be read.
std::string bytesOf(const std::filesystem::path& file);

// A fresh folder under the temporary directory, removed with its contents.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The names of the files in `dir`, sorted; empty when it is missing.
std::vector<std::string> fileNamesIn(const std::filesystem::path& dir);
