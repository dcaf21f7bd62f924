// timeline.h: the show's script: which element is drawn when, with which ramps.
//
// The script is split in two. planTimeline is plain code: for one run at show
// time t with frame step s it advances every ramp whose window holds t and lists,
// in drawing order, the elements to draw with their values (a small fixed-size
// plan, no allocation). advanceTimeline adds the planned elements' own updates,
// still without GL, so a run's whole state change can be made without drawing.
// renderTimeline sets up the pass's view and program, advances and draws the
// plan. The frame driver runs the timeline twice per frame (shadow pass, then
// camera pass), so every ramp and element update moves twice per frame. Every
// window is inclusive at both ends; nothing is ever reset.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "scene/schedule.h"
#include "scene/vec.h"

struct ShowFrameState;

struct BannerState {
    float fade = 0.0f;      // material level, 0 invisible .. 1 full
    float pixelate = 2.0f;  // mosaic grid handed to the program; 512 or more is sharp
    float phase = 0.0f;     // wobble phase in radians
};

struct TimelineState {
    std::array<BannerState, kBannerCount> banners {};
    float plusScatter = 0.0f;   // plus field scatter progress, 0..1
    float plusFade = 1.0f;      // plus field material level, 1..0
    float swarmHeight = 35.0f;  // height of the square swarm's centre, 15..45
};

enum class DrawKind : uint8_t { PlusField, Banner, SquareSwarm, GreetingBanners };

struct DrawCommand {
    DrawKind kind = DrawKind::Banner;
    BannerId banner = BannerId::Brindle;  // banners only
    float fade = 0.0f;                    // banners only
    float pixelate = 0.0f;                // banners only
    Vec4 position {};                     // banners only
};

// At most every row of the script at once.
struct TimelinePlan {
    std::array<DrawCommand, 9> commands {};
    int count = 0;
};

// The plus field's per-particle spin angles and drift rates (equal lengths), which
// the script spins while the field scatters.
struct PlusSpin {
    std::span<float> angle;
    std::span<const float> driftRate;
};

// Advances the ramps for one run at show time t (ms) with frame step s and fills
// `plan` with what to draw, in order. beatPulse pushes "GALDER" and "QN".
void planTimeline(TimelineState& timeline, PlusSpin spin, uint32_t t, float s, float beatPulse, TimelinePlan& plan);

// One run's whole state change: planTimeline on the state's ramps, then the
// update of every planned element (plus field, swarm, greetings) in plan order.
void advanceTimeline(ShowFrameState& show, uint32_t t, float s, TimelinePlan& plan);

// One run of the script into the pass its caller opened (target bound and
// cleared, matrices saved): light, the pass's view
// (the light's orthographic view for the shadow pass, else the swaying camera),
// the pass's program, then the planned draws, each stating its own draw state.
void renderTimeline(ShowFrameState& show, uint32_t t, float s, bool shadowPass);
