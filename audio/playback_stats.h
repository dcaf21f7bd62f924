// Figures the show reports about its music: how many frames raised a beat
// inside the beat window, and the largest gap between show time and the
// music's playback position.
//
// Use, once per frame after the beat detector ran:
//   stats.noteFrame(showTimeMs, beats);
//   stats.noteDrift(showTimeMs, backend.positionMs(music.channel()));
// then read beats() and maxDriftMs() at the end of the show.
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
    void noteDrift(uint32_t showTimeMs, double playbackMs);

    int beats() const { return beats_; }
    // Largest |show time - playback position| in ms; 0 before any note.
    double maxDriftMs() const { return maxDriftMs_; }

private:
    uint32_t beatWindowStartMs_, beatWindowEndMs_;
    int beats_ = 0;
    double maxDriftMs_ = 0.0;
};
