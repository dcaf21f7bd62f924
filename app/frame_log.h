// frame_log.h: one CSV line per presented frame, for measuring the picture
// against what is heard (tools/sync_meter reads it).
//
//   frame,show_ms,swap_ns,beat
//   0,20000,81234567890123,0
//
// frame counts presented frames from 0; show_ms is the show time the frame was
// drawn for; swap_ns is CLOCK_MONOTONIC read right after the buffer swap
// returned; beat is 1 when the frame flashed a beat. Every line reaches the
// file as it is added, so a run that is killed keeps what it logged.
//
//   FrameLog log;
//   if (!log.open(path, error)) fail with error;
//   log.add(showMs, monotonicNs(), flashed);   // after each swap
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// CLOCK_MONOTONIC in nanoseconds: the clock the log and the meter share.
int64_t monotonicNs();

class FrameLog {
public:
    // Creates or truncates `path` and writes the header. False with a
    // one-line reason in `error` when the file cannot be written.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    // Appends the next frame. False once a write fails (the reason is in `error`).
    bool add(double showMs, int64_t swapNs, bool beat, std::string& error);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool write(const char* text, int length, std::string& error);

    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    uint64_t frame_ = 0;
};
