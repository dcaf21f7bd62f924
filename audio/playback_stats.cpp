// Counts the frames that raised a beat inside the show's beat window.
#include "audio/playback_stats.h"

void PlaybackStats::noteFrame(uint32_t showTimeMs, const BeatDetector& beats)
{
    if (showTimeMs < beatWindowStartMs_ || showTimeMs > beatWindowEndMs_)
        return;
    if (!beats.beatFlags.empty() && beats.beatFlags[0] != 0)
        ++beats_;
}
