// beat_match.h: plays a decoded track through the show's beat detector the way
// the frame loop does (60 frames per second, frame k at floor(k * 1000 / 60) ms,
// the spectrum of the 2048 samples ending there) and compares its beats with
// the kick onsets the music generator wrote.
//
// A kick is hit when a beat is raised within one frame of its onset. A beat
// belongs to a kick when the onset lies inside that frame's 2048-sample
// spectrum window, give or take one frame; any other beat is stray, a reaction
// to something other than a kick.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decoded_track.h"

struct BeatMatch {
    int kicks = 0;
    int hits = 0;
    int beatFrames = 0;
    int strayFrames = 0;
    std::vector<int64_t> missedKicksMs;
    std::vector<int64_t> strayBeatsMs;

    double hitRate() const { return kicks > 0 ? static_cast<double>(hits) / kicks : 0.0; }
    double strayRate() const { return beatFrames > 0 ? static_cast<double>(strayFrames) / beatFrames : 0.0; }
};

// Kicks and beats are counted for show times in [fromMs, toMs); the detector
// runs from time 0 so that its history is what the show would have.
BeatMatch matchBeatsToKicks(
    const DecodedTrack& track, const std::vector<int64_t>& kickOnsetsMs, int64_t fromMs, int64_t toMs);

// Reads the generator's onset list (one millisecond value per line, '#' starts
// a comment line); false if the file cannot be read or holds a bad line.
bool readKickOnsets(const std::string& path, std::vector<int64_t>& onsetsMs);
