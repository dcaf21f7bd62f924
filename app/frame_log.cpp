// The frame log: written unbuffered, line by line.
#include "app/frame_log.h"

#include <time.h>

#include <cerrno>
#include <charconv>
#include <cstring>

int64_t monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool FrameLog::open(const std::string& path, std::string& error)
{
    path_ = path;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write the frame log '" + path + "' (" + std::strerror(errno)
            + "); choose a writable file";
        return false;
    }
    // One write per line: nothing waits in a buffer when the run is killed.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    static const char kHeader[] = "frame,show_ms,swap_ns,beat\n";
    return write(kHeader, static_cast<int>(sizeof kHeader - 1), error);
}

bool FrameLog::add(double showMs, int64_t swapNs, bool beat, std::string& error)
{
    if (!file_)
        return true;
    // to_chars, not printf: the dialog's toolkit may have set a locale that
    // writes decimal commas, which would split the field.
    char line[96];
    char* end = line + sizeof line;
    char* at = std::to_chars(line, end, frame_++).ptr;
    *at++ = ',';
    at = std::to_chars(at, end, showMs, std::chars_format::fixed, 3).ptr;
    *at++ = ',';
    at = std::to_chars(at, end, swapNs).ptr;
    *at++ = ',';
    *at++ = beat ? '1' : '0';
    *at++ = '\n';
    return write(line, static_cast<int>(at - line), error);
}

bool FrameLog::write(const char* text, int length, std::string& error)
{
    if (std::fwrite(text, 1, static_cast<size_t>(length), file_.get()) == static_cast<size_t>(length))
        return true;
    error = "cannot write the frame log '" + path_ + "' (" + std::strerror(errno) + "); choose a writable file";
    file_.reset();
    return false;
}
