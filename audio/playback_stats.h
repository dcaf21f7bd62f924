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
    // The show reacts to beats only between these times (inclusive).
    static constexpr uint32_t kBeatWindowStartMs = 20000;
    static constexpr uint32_t kBeatWindowEndMs = 122000;

    void noteFrame(uint32_t showTimeMs, const BeatDetector& beats);

    int beats() const { return beats_; }

private:
    int beats_ = 0;
};
