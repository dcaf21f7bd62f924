// The beat detector: turns the music's spectrum into a per-frame beat flag.
//
// Each frame, updateBeats reads the spectrum at the playback position into the
// music's buffer, takes the band's mean magnitude as its energy and raises the
// flag when that energy is more than 1.4 times the average of the previous 43
// frames (frames not yet seen do not count, so the very first non-silent frame
// is a beat). analyse() runs the same step on a given spectrum, without audio.
// Readers use beatFlags[0] and, for the spectrum, `spectrum` (null before the
// first update). The time scale follows the frame rate: 43 frames of history.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/music_player.h"

class BeatDetector {
public:
    int bandCount = 1;
    int binsPerBand = 1024;
    int historyLength = 43;
    std::vector<float> bandEnergy;  // this frame's energy per band
    std::vector<int> beatFlags;     // 1 when the band has a beat this frame
    const float* spectrum = nullptr;

    BeatDetector();

    // Queries the spectrum of music's channel into music.spectrum, points
    // `spectrum` at it and analyses it. showTimeMs is accepted and unused.
    void updateBeats(AudioBackend& backend, MusicPlayer& music, uint32_t showTimeMs);
    // One detector step on bandCount * binsPerBand magnitudes; keeps the
    // pointer in `spectrum`, so the buffer must outlive its readers.
    void analyse(const float* spectrum1024);

    // Past energies of a band, oldest first; negative entries are unfilled.
    std::vector<float> history(int band) const;

private:
    float averageOfHistory(int band) const;
    void pushHistory(int band, float energy);

    std::vector<std::vector<float>> energyHistory_;  // one ring per band
    std::vector<int> historyNext_;                   // index of each ring's oldest entry
};
