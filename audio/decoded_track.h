// Decoded music: a whole track as interleaved stereo float PCM in memory.
//
// The show itself streams its music (audio/track_source.h); tools and tests
// that want a whole track at once decode it here, from the same decoders, so
// both see the same samples. Use:
//   DecodedTrack track; std::string error;
//   if (!decodeMp3File("Data/music.mp3", track, error)) report(error);
//   track.frames() is the length in sample frames at track.sampleRate.
// Both decoders clear `out` first and leave it empty on failure; `error` then
// names the file and what went wrong, fit to follow "brindle: ".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TrackSource;

struct DecodedTrack {
    std::vector<float> samples;  // interleaved left/right, nominally -1..1
    int sampleRate = 44100;
    int channels = 2;
    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// Longest track either whole-file decoder accepts; longer input is refused
// rather than allowed to eat memory.
constexpr int kMaxTrackMinutes = 20;
constexpr double kMaxTrackSeconds = kMaxTrackMinutes * 60.0;

// MPEG audio (layer 1-3) through libmpg123 with gapless trimming, resampled
// to `sampleRate` and spread to stereo. False if the file is missing,
// unreadable, holds no decodable frame, or is longer than kMaxTrackSeconds.
bool decodeMp3File(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate = 44100);

// Tracker module (mod, xm, s3m, it and the other formats libopenmpt reads),
// rendered once through to its end without looping, with volume ramping.
// Same failure contract as decodeMp3File.
bool decodeModuleFile(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate = 44100);

// Reads `source` to its end into `out` (whose sampleRate is kept). False, with
// `out` emptied, once it runs past kMaxTrackSeconds.
bool readWholeTrack(TrackSource& source, DecodedTrack& out);
