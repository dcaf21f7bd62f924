// How many frames raised a beat inside the beat window: the "beats" figure of
// the show's statistics.
//
// Use, once per frame after the beat detector ran:
//   stats.noteFrame(showTimeMs, beats);
// then read beats() at the end of the show.
#pragma once

#include <cstdint>

#include "audio/beat_detector.h"

class PlaybackStats {
public:
    // Beats count only between these show times (inclusive): the show's beat window.
    PlaybackStats(uint32_t beatWindowStartMs, uint32_t beatWindowEndMs)
        : beatWindowStartMs_(beatWindowStartMs)
        , beatWindowEndMs_(beatWindowEndMs)
    {
    }

    void noteFrame(uint32_t showTimeMs, const BeatDetector& beats);

    int beats() const { return beats_; }

private:
    uint32_t beatWindowStartMs_, beatWindowEndMs_;
    int beats_ = 0;
};
