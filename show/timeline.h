// timeline.h: the show's script: which element is drawn when, with which ramps.
//
// The script is the scene's rows (kSceneRows in scene/show_state.h), one per
// element, in drawing order. planTimeline is plain code: for one run at show
// time t with frame step s it plans every row whose window holds t (its ramps
// move) and marks it in a plan with one place per row, so no row can be left
// out. advanceTimeline adds the planned rows' own updates, still without GL,
// so a run's whole state change can be made without drawing. renderTimeline
// sets up the pass's view and program, advances and draws the plan. The frame
// driver runs the timeline twice per frame (shadow pass, then camera pass), so
// every ramp and element update moves twice per frame. Every window is
// inclusive at both ends; nothing is ever reset.
#pragma once

#include <array>
#include <cstdint>

#include "scene/show_state.h"

struct ShowFrameState;

// The rows one run draws, in row order.
struct TimelinePlan {
    std::array<bool, std::size(kSceneRows)> drawn {};
};

// Plans every row whose window holds the run's show time, in row order, and
// marks it in `plan`.
void planTimeline(ShowState& scene, const SceneRun& run, TimelinePlan& plan);

// One run's whole state change: planTimeline on the scene with the frame's
// beat pulse, then the update of every planned row in row order.
void advanceTimeline(ShowFrameState& show, uint32_t t, float s, TimelinePlan& plan);

// One run of the script into the pass its caller opened (target bound and
// cleared, matrices saved): light, the pass's view
// (the light's orthographic view for the shadow pass, else the swaying camera),
// the pass's program, then the planned draws, each stating its own draw state.
void renderTimeline(ShowFrameState& show, uint32_t t, float s, bool shadowPass);
