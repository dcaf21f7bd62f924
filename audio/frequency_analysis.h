// Magnitude spectrum of the music at a playback position.
//
// computeSpectrum looks at the 2048 sample frames that end just before
// `endFrame` (frames before 0 or past the track's end count as silence), mixes
// them to mono as the mean of the channels, applies a Hann window and a real
// FFT, and writes 1024 magnitudes |X_k| * 2 / 2048 for k = 0..1023, lowest
// frequency first, bin 0 the DC term. A full-scale DC signal reads 1.0 in bin
// 0; a full-scale sine centred on bin k reads about 0.5 in bin k (the window
// halves the peak). The samples are read before any playback volume, so a
// muted track has the same spectrum as an audible one.
#pragma once

#include <cstdint>

#include "audio/decoded_track.h"

constexpr int kSpectrumWindow = 2048;
constexpr int kSpectrumBins = 1024;

void computeSpectrum(const DecodedTrack& track, int64_t endFrame, float out[kSpectrumBins]);

// The same from the window's 2048 frames themselves, interleaved stereo, with
// frames outside the track given as zeros: the result is bit for bit the one
// computeSpectrum gives for that stretch of a track.
void computeSpectrumOfWindow(const float* stereo, float out[kSpectrumBins]);
