// track_arrangement.h: the show's music, composed in code and rendered to PCM.
//
// 120 beats per minute in A minor, so every bar lasts two seconds and the
// sections land where the show changes scene:
//     0-4 s     a swelling pad
//     4-20 s    under the plus field: a rolling bass, sine chords that rock
//               between two octaves, a high chime arpeggio, and hats
//     20-32 s   the kick joins, and the other parts duck under it
//     32-69 s   the full groove (pads, clap on beats two and four, open hats)
//     69-72 s   a break without drums
//     72-89 s   the groove again
//     89-110 s  the fullest part, with the lead
//     110-122 s the groove
//     122-130 s the drums fall away
//     130-134 s fade to silence, then one second of silence
// The show sizes the plus field's sprites (4-32 s) by the spectrum between
// about 65 Hz and 1.2 kHz, so the parts there keep moving their partials across
// that range, loud enough to swing the sizes (music_report measures it). The
// kick plays every beat from 20 to 69 s and from 72 to 122 s; those onsets are
// returned with the audio so tests can check the show's beat detector.
//
// Usage:
//     RenderedTrack track = renderShowTrack();
//     encode(track.audio); save(track.kickOnsetsMs);
#pragma once

#include <cstdint>
#include <vector>

#include "tools/synth_dsp.h"

inline constexpr double kTrackSeconds = 135.0;
inline constexpr double kBeatSeconds = 0.5;
// The mix is scaled so that its highest sample sits here, leaving room for
// the encoder's overshoot below -1 dBFS.
inline constexpr float kMasterPeakDecibels = -2.0f;

struct RenderedTrack {
    StereoBuffer audio;                 // 44100 Hz, kTrackSeconds long
    std::vector<int64_t> kickOnsetsMs;  // every kick, ascending
    float gainApplied = 1.0f;           // the scale that brought the peak to kMasterPeakDecibels
};

RenderedTrack renderShowTrack();

// Which parts play at a time (seconds); exposed so tests can reason about the
// sections without rendering.
bool kickPlaysAt(double seconds);
bool clapPlaysAt(double seconds);
