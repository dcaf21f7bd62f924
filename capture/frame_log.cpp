// The frame log: written unbuffered, line by line, in frame order.
#include "capture/frame_log.h"

#include <time.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <type_traits>

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
    static const char kHeader[] = "frame,show_ms,swap_ns,beat,seen_ns\n";
    return write(kHeader, static_cast<int>(sizeof kHeader - 1), error);
}

bool FrameLog::add(double showMs, int64_t swapNs, bool beat, std::string& error)
{
    if (!file_)
        return true;
    const Line line {frame_++, showMs, swapNs, beat, 0, !awaitSeen_};
    if (!awaitSeen_)
        return writeLine(line, error);
    waiting_.push_back(line);
    while (waiting_.size() > kMostWaiting) {
        if (!writeLine(waiting_.front(), error))
            return false;
        waiting_.pop_front();
    }
    return writeWaiting(false, error);
}

bool FrameLog::seen(uint64_t frame, int64_t seenNs, std::string& error)
{
    if (!file_ || waiting_.empty() || frame < waiting_.front().frame)
        return true;
    const uint64_t index = frame - waiting_.front().frame;
    if (index >= waiting_.size())
        return true;
    waiting_[index].seenNs = seenNs;
    waiting_[index].settled = true;
    return writeWaiting(false, error);
}

bool FrameLog::flush(std::string& error) { return writeWaiting(true, error); }

bool FrameLog::writeWaiting(bool all, std::string& error)
{
    while (file_ && !waiting_.empty() && (all || waiting_.front().settled)) {
        if (!writeLine(waiting_.front(), error))
            return false;
        waiting_.pop_front();
    }
    return true;
}

bool FrameLog::writeLine(const Line& entry, std::string& error)
{
    // to_chars, not printf: the dialog's toolkit may have set a locale that
    // writes decimal commas, which would split the field. Five fields of at
    // most 24 characters each and their separators fit the line.
    char line[128];
    char* at = line;
    char* const end = line + sizeof line;
    const auto field = [&](auto value, char after) {
        if constexpr (std::is_floating_point_v<decltype(value)>)
            at = std::to_chars(at, end - 1, value, std::chars_format::fixed, 3).ptr;
        else
            at = std::to_chars(at, end - 1, value).ptr;
        *at++ = after;
    };
    field(entry.frame, ',');
    field(entry.showMs, ',');
    field(entry.swapNs, ',');
    field(entry.beat ? 1 : 0, ',');
    field(entry.seenNs, '\n');
    return write(line, static_cast<int>(at - line), error);
}

bool FrameLog::write(const char* text, int length, std::string& error)
{
    if (std::fwrite(text, 1, static_cast<size_t>(length), file_.get()) == static_cast<size_t>(length))
        return true;
    error = "cannot write the frame log '" + path_ + "' (" + std::strerror(errno) + "); choose a writable file";
    file_.reset();
    waiting_.clear();
    return false;
}
