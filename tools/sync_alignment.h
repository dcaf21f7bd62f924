// sync_alignment.h: where in the track the listener was at each frame when
// it was seen, from a recording of what the sound server played, and whether
// the figures are good enough to believe and to pass.
//
// The recording is the sink's monitor, with monotonic stamps of when some of
// its samples were heard; the frame log says which show time each frame was
// drawn for, when its swap returned and, where the program knew it, the
// vblank that showed it. Recording time is a least-squares fit of the stamps
// against the sample index, split into pieces where the recording lost
// samples or the sink's clock stepped, so a sink that runs slow or drops a
// block is measured as it played. Short windows of the recording are matched,
// sample for sample, against the decoded track (normalised correlation),
// searching near the show time the frame log gives for that moment, so a
// repeated bar elsewhere in the track cannot be taken for it.
//
//   SyncInput in;  (track, recording, stamps, frames filled in)
//   SyncFigures f = measureSync(in);
//   std::string why;
//   if (judgeSync(f, limits, why) != SyncFault::None) fail with why;
#pragma once

#include <cstdint>
#include <limits>
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
    int64_t seenNs = 0;  // the vblank that showed it; 0 where unknown or never shown
    // When the frame reached the screen, as far as anyone knows.
    int64_t shownNs() const { return seenNs != 0 ? seenNs : swapNs; }
};

struct SyncInput {
    int sampleRate = 44100;
    std::vector<float> track;      // mono
    std::vector<float> recording;  // mono, from the sink's monitor
    std::vector<HeardStamp> stamps;
    std::vector<LoggedFrame> frames;
    double searchMs = 200.0;  // how far from the logged show time a match is sought
    // Only what was heard from this time on is judged (the music that came
    // back after the server went away); earlier windows and frames are left out.
    int64_t judgeFromNs = std::numeric_limits<int64_t>::min();
    // Frames and skips in the first moments of the music are not judged: a
    // server misreports its latency while a stream starts, to the meter's
    // stamps and to the player alike.
    double settleMs = 0.0;
};

// A place where the music heard skipped: the heard position moved by
// `stepMs` more than the clock did between two neighbouring matched windows.
struct MusicJump {
    double atMs = 0.0;  // from the recording's start
    double stepMs = 0.0;
};

struct SyncFigures {
    int frames = 0;          // frames with a heard position
    int seenFrames = 0;      // of them, compared at their vblank (the rest at their swap)
    double medianMs = 0.0;   // of show_ms - heard position
    double p95AbsMs = 0.0;   // 95th percentile of |show_ms - heard position|
    double meanMs = 0.0;
    double longestOffMs = 0.0;   // longest stretch of frames more than kOffMs from the median
    int windows = 0;         // recording windows loud enough to match
    int matchedWindows = 0;  // of them, matched to the track
    double firstHeardMs = -1.0;  // from the recording's start to its first matched window; -1: none
    int64_t firstHeardNs = 0;    // when that window was heard; 0: none
    double searchMs = 0.0;       // the input's, for the reason a match failed
    std::vector<MusicJump> jumps;
    // How the recording's samples map to time.
    int pieces = 0;             // fitted stretches; more than one where samples were lost or time stepped
    double rateErrorPpm = 0.0;  // the sink's rate against the monotonic clock, longest piece
    double residualP95Ms = 0.0; // of the stamps from their piece's line
    std::vector<std::pair<int64_t, double>> offsets;  // shown ns and show_ms - heard position, per compared frame
};

// A frame further than this from the median is out of step; a stretch of
// such frames is a stall or a wrong turn of the clock, which a percentile
// over a long run can hide.
constexpr double kOffMs = 40.0;

SyncFigures measureSync(const SyncInput& in);

struct SyncLimits {
    int minFrames = 300;
    double minMatchedShare = 0.9;  // of the loud windows
    double medianLoMs = -std::numeric_limits<double>::infinity();
    double medianHiMs = std::numeric_limits<double>::infinity();
    double maxP95Ms = std::numeric_limits<double>::infinity();
    double maxOffStretchMs = 100.0;
    // A loaded machine's server underruns, and its music jumps whoever plays
    // it; such a run is judged against a reference's count of jumps.
    size_t maxJumps = 0;
};

enum class SyncFault { None, Silent, FewMatched, MusicSkipped, FewFrames, Median, P95, OutOfStep };

// The first limit the figures break, with one line in `why` saying what and
// what to do; None (and `why` empty) when they keep them all.
SyncFault judgeSync(const SyncFigures& figures, const SyncLimits& limits, std::string& why);

// Reads a frame log (frame,show_ms,swap_ns,beat[,seen_ns]). False with
// `error` set on a malformed line; a last line cut short is dropped.
bool readFrameLog(const std::string& path, std::vector<LoggedFrame>& frames, std::string& error);

// The figures as one line of JSON, with the reason they fail where there is one.
std::string syncJson(const SyncFigures& figures, const std::string& failure);
