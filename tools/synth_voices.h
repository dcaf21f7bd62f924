// synth_voices.h: the instruments of the show's track. Each call renders one
// note or hit and adds it into a StereoBuffer at a start frame; nothing is
// kept between calls, so the arrangement alone decides what sounds when.
//
// The kick carries a short broadband click at its very start: the show's beat
// detector watches the mean magnitude over the whole spectrum, which a click
// lifts in every band at once, right at the onset. The body's tail keeps that
// mean up for a while too, so it decays quickly. The hats, the bass and the
// clap rise over a few milliseconds instead of starting sharply, so they stay
// well below the kick in that measure.
//
// Usage:
//     renderKick(drums, secondsToFrames(20.0), KickSettings{});
//     renderPadChord(pads, start, length, std::array{57.0f, 60.0f, 64.0f}, PadSettings{});
#pragma once

#include <cstdint>
#include <span>

#include "tools/synth_dsp.h"

struct KickSettings {
    float gain = 0.65f;              // body level
    float bodyDecaySeconds = 0.11f;  // after a short hold
    float clickGain = 1.0f;          // level of the beater click at the onset
    float clickSeconds = 0.003f;
};
void renderKick(StereoBuffer& out, int64_t start, const KickSettings& settings);

void renderClap(StereoBuffer& out, int64_t start, float gain);

// Closed hats use a decay of about 0.03 s, open hats about 0.15 s.
void renderHat(StereoBuffer& out, int64_t start, float gain, float decaySeconds, float pan);

// A saw under a low-pass, with a sine at the same pitch below it; the filter
// opens by envelopeHz at each note's start and closes over envelopeSeconds.
struct BassSettings {
    float gain = 0.25f;
    float sub = 0.6f;  // level of a sine at the note's pitch, under the saw
    float cutoffHz = 160.0f;
    float envelopeHz = 500.0f;
    float envelopeSeconds = 0.08f;
};
void renderBass(StereoBuffer& out, int64_t start, int64_t length, float note, const BassSettings& settings);

struct PadSettings {
    float gain = 0.05f;
    float attackSeconds = 0.6f;
    float releaseSeconds = 1.2f;  // sounds on past `length`
    float cutoffHz = 1500.0f;
};
void renderPadChord(
    StereoBuffer& out, int64_t start, int64_t length, std::span<const float> notes, const PadSettings& settings);

// A short filtered pulse for the arpeggio; brightness 0..1 opens the filter.
void renderPluck(StereoBuffer& out, int64_t start, float note, float gain, float pan, float brightness);

// A mallet tone: a sine with its octave at `octave` times its level, held for
// `length` with a gentle decay, so it keeps its level through a short note.
void renderChime(StereoBuffer& out, int64_t start, int64_t length, float note, float gain, float octave, float pan);

// A held chord of sines, faded in and out over fadeSeconds. Chords that
// follow each other without a gap cross-fade, so the spectrum's summed
// magnitude stays level while the partials move: the beat detector, which
// watches that sum, keeps listening to the drums.
void renderSineChord(
    StereoBuffer& out, int64_t start, int64_t length, std::span<const float> notes, float gain, float fadeSeconds);

void renderLead(StereoBuffer& out, int64_t start, int64_t length, float note, float gain);
