// Beat count and clock-to-audio drift for the show's statistics.
#include "audio/playback_stats.h"

#include <cmath>

void PlaybackStats::noteFrame(uint32_t showTimeMs, const BeatDetector& beats)
{
    if (showTimeMs < beatWindowStartMs_ || showTimeMs > beatWindowEndMs_)
        return;
    if (!beats.beatFlags.empty() && beats.beatFlags[0] != 0)
        ++beats_;
}

void PlaybackStats::noteDrift(uint32_t showTimeMs, double playbackMs)
{
    const double drift = std::fabs(static_cast<double>(showTimeMs) - playbackMs);
    if (drift > maxDriftMs_)
        maxDriftMs_ = drift;
}
