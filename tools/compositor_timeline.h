// compositor_timeline.h: when each of the show's frames reached the screen,
// by the compositor's own record, against what the show's frame log says.
//
// weston started with --debug streams its timeline (`weston-debug timeline`):
// one JSON object a line, times as [seconds, nanoseconds] of CLOCK_MONOTONIC.
// A surface's `core_commit_damage` is a commit handled; `core_flush_damage`
// is a repaint of an output taking the surface's damage, and that output's
// next `core_repaint_finished` gives the vblank (`vblank_monotonic`) at which
// the repaint was shown. A commit is seen at the vblank of the first repaint
// that flushes the surface after it; a later commit flushed by the same
// repaint replaces it unseen. The show's surface is the one whose commits
// line up with the frame log's swaps: each frame is matched, in order, to
// the surface's commit nearest its swap.
//
//   CompositorTimeline timeline;
//   if (!readTimeline(stream, timeline, error)) fail with error;
//   SeenFigures f = compareSeen(timeline, frames);
//   f.swapToSeenMedianMs, f.replaced, f.agreeingShare, f.judderP95Ms
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "tools/sync_alignment.h"

struct SurfaceCommit {
    int64_t ns = 0;
    int64_t seenNs = 0;  // the vblank that showed it; 0: replaced before it was seen, or never flushed
    bool replaced = false;
};

struct CompositorTimeline {
    std::map<int, std::string> descriptions;            // by surface id, the last one given
    std::map<int, std::vector<SurfaceCommit>> commits;  // by surface id, in order
};

// Reads a timeline stream. False with `error` on a line that is not JSON,
// except a last line cut short (the stream was stopped while writing).
bool readTimeline(std::istream& in, CompositorTimeline& timeline, std::string& error);

struct SeenFigures {
    int surface = -1;  // the show's surface; -1 when no surface's commits match the log
    std::string description;
    int frames = 0;        // frame log rows
    int matched = 0;       // matched to a commit
    int seen = 0;          // of them, seen at a vblank
    int replaced = 0;      // replaced by a later commit before any vblank showed them
    double swapToSeenMedianMs = 0.0;
    double swapToSeenP95Ms = 0.0;
    int programSeen = 0;   // matched frames whose log gives a seen_ns
    double agreeingShare = 0.0;  // of the frames seen, those whose seen_ns is within 1 ms of the vblank
    int judderFrames = 0;        // steps judged, past the first two seconds
    double judderMedianMs = 0.0; // |show-time step - vblank step| between consecutive seen frames
    double judderP95Ms = 0.0;
    // The frames as the compositor saw them: seenNs is its vblank, or 0.
    std::vector<LoggedFrame> bySurface;
};

SeenFigures compareSeen(const CompositorTimeline& timeline, const std::vector<LoggedFrame>& frames);

std::string seenJson(const SeenFigures& figures);
