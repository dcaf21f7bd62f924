// frame_values.cpp: beat flash, decay and camera sway for one frame.
#include "show/frame_values.h"

#include <algorithm>
#include <cmath>

#include "scene/schedule.h"

namespace {

constexpr float kBeatLightLevel = 0.75f;
constexpr std::array<float, 3> kBeatBleed = {0.05f, 0.025f, 0.0125f};
constexpr float kBeatPulse = 0.5f;

}  // namespace

bool beatCanFlash(uint32_t showTimeMs) { return showTimeMs >= kBeatWindow.startMs && showTimeMs <= kBeatWindow.endMs; }

void advanceFrameValues(FrameValues& values, uint32_t showTimeMs, float frameStep, bool beat)
{
    const float half = frameStep * 0.5f;
    values.cameraSwayPhase += half;
    const float swing = static_cast<float>(std::sin(static_cast<double>(values.cameraSwayPhase)));
    values.cameraEye = {swing * 0.5f + 5.0f, swing * 0.25f + 2.0f, -2.0f, 1.0f};
    values.cameraTarget = {2.0f, 5.0f, -12.0f, 1.0f};

    if (beat && beatCanFlash(showTimeMs)) {
        values.lightLevel = kBeatLightLevel;
        values.bleedStrength = kBeatBleed;
        values.beatPulse = kBeatPulse;
    }

    // Even the beat's own frame moves one step back, so what is drawn is already decaying.
    values.lightLevel = std::min(values.lightLevel + half, 1.0f);
    const float decay = frameStep * -0.5f;
    for (float& bleed : values.bleedStrength)
        bleed = std::max(bleed + decay, 0.0f);
    values.beatPulse = std::max(values.beatPulse + decay, 0.0f);
}

uint32_t flashSettleMs()
{
    const float furthest = std::max({kBeatPulse, 1.0f - kBeatLightLevel, kBeatBleed[0], kBeatBleed[1], kBeatBleed[2]});
    return static_cast<uint32_t>(std::ceil(furthest / 0.001f));
}
