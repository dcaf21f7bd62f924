// frame_log.h: one CSV line per presented frame, for measuring the picture
// against what is heard and seen (tools/sync_meter reads it).
//
//   frame,show_ms,swap_ns,beat,seen_ns
//   0,20000.000,81234567890123,0,81234592690123
//
// frame counts presented frames from 0; show_ms is the show time the frame was
// drawn for; swap_ns is CLOCK_MONOTONIC read right after the buffer swap
// returned; beat is 1 when the frame flashed a beat; seen_ns is
// CLOCK_MONOTONIC of the vblank that showed the frame, as the compositor told
// it, or 0 where nobody tells (X11) or the frame was replaced before it was
// ever shown. Where the seen times are awaited, a line is written once its
// frame's outcome is known, so lines come a few frames late, always in order;
// every line reaches the file as it is written, so a run that is killed keeps
// what it logged.
//
//   FrameLog log;
//   if (!log.open(path, error)) fail with error;
//   log.awaitSeen(true);                          // where presentation feedback exists
//   log.add(showMs, monotonicNs(), flashed, error);   // after each swap
//   log.seen(frame, seenNs, error);               // as each outcome arrives
//   log.flush(error);                             // at the end: what never came is 0
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

// CLOCK_MONOTONIC in nanoseconds: the clock the log and the meter share.
int64_t monotonicNs();

class FrameLog {
public:
    // Lines wait at most this many frames for their outcome; older ones are
    // written with seen_ns 0, so a compositor that stops answering (a hidden
    // window) neither holds the log back nor makes it grow.
    static constexpr size_t kMostWaiting = 120;

    // Creates or truncates `path` and writes the header. False with a
    // one-line reason in `error` when the file cannot be written.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    // Whether lines wait for seen() (true) or are written at once with seen_ns 0.
    void awaitSeen(bool await) { awaitSeen_ = await; }
    // Appends the next frame. False once a write fails (the reason is in `error`).
    bool add(double showMs, int64_t swapNs, bool beat, std::string& error);
    // The seen time of frame `frame` (0: never seen); a frame already written is passed over.
    bool seen(uint64_t frame, int64_t seenNs, std::string& error);
    // Writes every waiting line, those still without an outcome with seen_ns 0.
    bool flush(std::string& error);

private:
    struct Line {
        uint64_t frame = 0;
        double showMs = 0.0;
        int64_t swapNs = 0;
        bool beat = false;
        int64_t seenNs = 0;
        bool settled = false;
    };
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // Writes the waiting lines from the front: the settled ones, or all when `all`.
    bool writeWaiting(bool all, std::string& error);
    bool writeLine(const Line& line, std::string& error);
    bool write(const char* text, int length, std::string& error);

    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    uint64_t frame_ = 0;
    bool awaitSeen_ = false;
    std::deque<Line> waiting_;
};
