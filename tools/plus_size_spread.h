// plus_size_spread.h: how much the music moves the opening plus field.
//
// The plus field sizes each sprite by g = (sin(10 x level) + 0.5) x 2 + 0.15,
// where level is the spectrum bin under the sprite. Its trails cross bins 3 to
// 57 (about 65 Hz to 1.2 kHz). For one bin, the spread is the 90th minus the
// 10th percentile of g over the frames of a time span at 60 frames per second
// (frame k at floor(k * 1000 / 60) ms, the spectrum of the 2048 samples ending
// there, as the show reads it); the track's spread is the median of the bins'
// spreads. A track whose spread stays near 0.1 leaves the sprites still; from
// about 0.5 they visibly breathe.
#pragma once

#include <cstdint>

#include "audio/decoded_track.h"
#include "scene/plus_field.h"

constexpr int kPlusFirstBin = 3;
constexpr int kPlusLastBin = 57;

// Median over bins kPlusFirstBin..kPlusLastBin of the bins' size spread over
// the frames whose show time lies in [fromMs, toMs).
double plusSizeSpread(const DecodedTrack& track, int64_t fromMs, int64_t toMs);
