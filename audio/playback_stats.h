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
    // The show reacts to beats only between these times (inclusive).
    static constexpr uint32_t kBeatWindowStartMs = 20000;
    static constexpr uint32_t kBeatWindowEndMs = 122000;

    void noteFrame(uint32_t showTimeMs, const BeatDetector& beats);
    void noteDrift(uint32_t showTimeMs, double playbackMs);

    int beats() const { return beats_; }
    // Largest |show time - playback position| in ms; 0 before any note.
    double maxDriftMs() const { return maxDriftMs_; }

private:
    int beats_ = 0;
    double maxDriftMs_ = 0.0;
};
