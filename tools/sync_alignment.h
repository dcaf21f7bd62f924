// sync_alignment.h: where in the track the listener was at each presented
// frame, from a recording of what the sound server played.
//
// The recording is the sink's monitor, with monotonic stamps of when some of
// its samples were heard; the frame log says which show time each frame was
// drawn for and when its swap returned. Short windows of the recording are
// matched, sample for sample, against the decoded track (normalised
// correlation), searching near the show time the frame log gives for that
// moment, so a repeated bar elsewhere in the track cannot be taken for it.
//
//   SyncInput in;  (track, recording, stamps, frames filled in)
//   SyncFigures f = measureSync(in);
//   f.frames, f.medianMs, f.p95AbsMs
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Recording sample `sample` was heard at CLOCK_MONOTONIC `ns`.
struct HeardStamp {
    int64_t sample = 0;
    int64_t ns = 0;
};

struct LoggedFrame {
    double showMs = 0.0;
    int64_t swapNs = 0;
};

struct SyncInput {
    int sampleRate = 44100;
    std::vector<float> track;      // mono
    std::vector<float> recording;  // mono, from the sink's monitor
    std::vector<HeardStamp> stamps;
    std::vector<LoggedFrame> frames;
    double searchMs = 200.0;  // how far from the logged show time a match is sought
};

struct SyncFigures {
    int frames = 0;          // frames with a heard position
    double medianMs = 0.0;   // of show_ms - heard position
    double p95AbsMs = 0.0;   // 95th percentile of |show_ms - heard position|
    double meanMs = 0.0;
    int windows = 0;         // recording windows loud enough to match
    int matchedWindows = 0;  // of them, matched to the track
    double firstHeardMs = -1.0;  // from the recording's start to its first matched window; -1: none
    std::vector<std::pair<int64_t, double>> offsets;  // swap_ns and show_ms - heard position, per compared frame
};

SyncFigures measureSync(const SyncInput& in);

// Reads a frame log (frame,show_ms,swap_ns,beat). False with `error` set on a
// malformed line.
bool readFrameLog(const std::string& path, std::vector<LoggedFrame>& frames, std::string& error);

// The figures as one line of JSON.
std::string syncJson(const SyncFigures& figures);
