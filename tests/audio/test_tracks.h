// Music written by the tests themselves: PCM signals, MP3 files encoded with
// LAME, and a four-channel tracker module built byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decoded_track.h"

// Interleaved stereo track of `frames` frames filled by f(frame) on both channels.
template <typename F>
DecodedTrack makeTrack(size_t frames, F f) {
  DecodedTrack track;
  track.samples.resize(frames * 2);
  for (size_t i = 0; i < frames; ++i) track.samples[2 * i] = track.samples[2 * i + 1] = f(i);
  return track;
}

// Frequency whose sine completes exactly `bin` periods in a 2048-frame window.
double binFrequency(int bin, int sampleRate = 44100);

// Writes `mono` as an MP3 (stereo or mono) at `sampleRate` with a gapless tag.
bool writeMp3(const std::string& path, const std::vector<float>& mono, int sampleRate, int channels);

// A module with one pattern: a decaying noise burst on rows 0, 16, 32, 48 of
// channel 1, speed 6 at 125 BPM, so 7.68 s long with a hit every 1.92 s.
std::vector<uint8_t> makeKickModule();
constexpr double kModuleHitSeconds = 1.92;
constexpr double kModuleSeconds = 7.68;

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeText(const std::string& path, const std::string& text);
// A fresh path in the test's temporary folder.
std::string tempPath(const std::string& name);
