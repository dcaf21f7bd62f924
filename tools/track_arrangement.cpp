// track_arrangement.cpp: the score and the mix. See track_arrangement.h.
#include "tools/track_arrangement.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/synth_voices.h"

namespace {

constexpr double kSixteenth = kBeatSeconds / 4.0;
// The click outweighs the body, so the kick's onset stands out for the beat
// detector while its tail fades before the next frames are judged.
constexpr KickSettings kKick {.gain = 0.5f, .bodyDecaySeconds = 0.11f, .clickGain = 0.8f, .clickSeconds = 0.003f};
constexpr double kChordSeconds = 4.0;  // two bars per chord

// i - VI - III - VII in A minor, voiced close together so the pads glide.
// The colour is a fourth tone for the parts over the plus field: the ninth
// above the bass, or for the minor chord its seventh, since its ninth would
// rub a semitone against the third in close position.
struct Chord {
    std::array<float, 3> pad;
    float bassRoot;
    float colour;
};
constexpr std::array<Chord, 4> kProgression {{
    {{57.0f, 60.0f, 64.0f}, 33.0f, 67.0f},  // A minor, seventh G
    {{57.0f, 60.0f, 65.0f}, 29.0f, 67.0f},  // F major, ninth G
    {{55.0f, 60.0f, 64.0f}, 36.0f, 62.0f},  // C major, ninth D
    {{55.0f, 59.0f, 62.0f}, 31.0f, 69.0f},  // G major, ninth A
}};

const Chord& chordAt(double seconds)
{
    const auto block = static_cast<size_t>(std::floor(seconds / kChordSeconds));
    return kProgression[block % kProgression.size()];
}

// The chord and its colour, each in the octave from E5 (MIDI 76 to 87, about
// 660 Hz to 1.2 kHz), lowest first.
std::array<float, 4> upperColourOf(const Chord& chord)
{
    std::array<float, 4> tones {chord.pad[0], chord.pad[1], chord.pad[2], chord.colour};
    for (float& tone : tones) {
        while (tone < 76.0f)
            tone += 12.0f;
        while (tone >= 88.0f)
            tone -= 12.0f;
    }
    std::sort(tones.begin(), tones.end());
    return tones;
}

bool within(double t, double from, double to) { return t >= from && t < to; }

bool groovePlaysAt(double t) { return within(t, 32.0, 69.0) || within(t, 72.0, 122.0); }
bool fullestAt(double t) { return within(t, 89.0, 110.0); }
int64_t frameAt(double seconds) { return secondsToFrames(seconds); }

// Linear interpolation of a level between two times, clamped outside.
float rampBetween(double t, double from, double to, float a, float b)
{
    if (t <= from)
        return a;
    if (t >= to)
        return b;
    return a + (b - a) * static_cast<float>((t - from) / (to - from));
}

// The plus field's stretch: the show sizes its sprites by the spectrum between
// about 65 Hz and 1.2 kHz, so the parts here keep partials moving across that
// range in rhythm.
bool fieldAt(double t) { return within(t, 4.0, 32.0); }
// The plus field's parts come in over two seconds and step up when the kick joins.
float fieldLevelAt(double t) { return t < 20.0 ? rampBetween(t, 4.0, 6.0, 0.5f, 1.0f) : 1.06f; }

// One buffer per part; the send effects take their input from these, so no
// part is rendered twice.
struct Buses {
    StereoBuffer drums, claps, hats, bass, chords, pads, arp, lead;
    explicit Buses(int64_t frames)
        : drums(frames)
        , claps(frames)
        , hats(frames)
        , bass(frames)
        , chords(frames)
        , pads(frames)
        , arp(frames)
        , lead(frames)
    {
    }
};

void scheduleDrums(Buses& buses, std::vector<int64_t>& kickOnsetsMs)
{
    const int beats = static_cast<int>(kTrackSeconds / kBeatSeconds);
    for (int beat = 0; beat < beats; ++beat) {
        const double t = beat * kBeatSeconds;
        if (kickPlaysAt(t)) {
            renderKick(buses.drums, frameAt(t), kKick);
            kickOnsetsMs.push_back(static_cast<int64_t>(std::llround(t * 1000.0)));
        }
        if (clapPlaysAt(t)) {
            renderClap(buses.claps, frameAt(t), 0.16f);
        }
        // Hats: quiet off-beats and sixteenths from 4 s that grow towards the
        // kick's entry, longer off-beat hats in the groove, thinning out after 122 s.
        const bool hatsOn = within(t, 4.0, 69.0) || within(t, 72.0, 126.0);
        if (!hatsOn)
            continue;
        const float level = rampBetween(t, 4.0, 20.0, 0.035f, 0.085f) * rampBetween(t, 122.0, 126.0, 1.0f, 0.3f);
        renderHat(buses.hats, frameAt(t + 2.0 * kSixteenth), level * 0.9f, groovePlaysAt(t) ? 0.09f : 0.03f, 0.25f);
        if (within(t, 4.0, 20.0) || groovePlaysAt(t)) {
            renderHat(buses.hats, frameAt(t + kSixteenth), level * 0.45f, 0.02f, -0.3f);
            renderHat(buses.hats, frameAt(t + 3.0 * kSixteenth), level * 0.45f, 0.02f, -0.3f);
        }
    }
}

void scheduleBass(Buses& buses)
{
    const int beats = static_cast<int>(kTrackSeconds / kBeatSeconds);
    for (int beat = 0; beat < beats; ++beat) {
        const double t = beat * kBeatSeconds;
        const float root = chordAt(t).bassRoot;
        if (fieldAt(t)) {
            // Rolling eighths through root, octave and fifth, each held into
            // the next; every note opens its filter to about 1.2 kHz, so its
            // harmonics sweep through the field's lower bins in time.
            constexpr std::array<float, 8> kLine {0.0f, 12.0f, 0.0f, 12.0f, 0.0f, 7.0f, 12.0f, 7.0f};
            const BassSettings settings {.gain = 0.6f * fieldLevelAt(t),
                .sub = 0.3f,
                .cutoffHz = 200.0f,
                .envelopeHz = 1000.0f,
                .envelopeSeconds = 0.1f};
            for (int half = 0; half < 2; ++half) {
                const auto slot = static_cast<size_t>((beat % 4) * 2 + half);
                renderBass(buses.bass, frameAt(t + half * 2.0 * kSixteenth), frameAt(kSixteenth * 2.0),
                    root + kLine[slot], settings);
            }
            continue;
        }
        if (!(within(t, 32.0, 69.0) || within(t, 72.0, 126.0)))
            continue;
        const BassSettings settings {.gain = rampBetween(t, 122.0, 126.0, 0.25f, 0.08f)};
        if (fullestAt(t)) {
            // Rolling sixteenths that leave the kick's place free.
            for (int step = 1; step < 4; ++step) {
                const float note = step == 2 ? root + 12.0f : root;
                renderBass(buses.bass, frameAt(t + step * kSixteenth), frameAt(kSixteenth * 0.8), note, settings);
            }
        } else {
            renderBass(buses.bass, frameAt(t + 2.0 * kSixteenth), frameAt(kSixteenth * 1.6), root + 12.0f, settings);
        }
    }
}

// Over the plus field the chord with its colour rocks an octave down on the
// beat and up off the beat (close position from E4, then from E5): the field's
// bins between about 330 Hz and 1.2 kHz fill and empty by turns every eighth,
// while the level the beat detector sees stays put.
void scheduleChords(Buses& buses)
{
    const int eighths = static_cast<int>(kTrackSeconds / (2.0 * kSixteenth));
    for (int eighth = 0; eighth < eighths; ++eighth) {
        const double t = eighth * 2.0 * kSixteenth;
        if (!fieldAt(t))
            continue;
        std::array<float, 4> notes = upperColourOf(chordAt(t));
        if (eighth % 2 == 0) {
            for (float& note : notes)
                note -= 12.0f;
        }
        const float gain = 0.13f * fieldLevelAt(t);
        renderSineChord(buses.chords, frameAt(t), frameAt(2.0 * kSixteenth), notes, gain, 0.01f);
    }
}

// The pads open the track and return after the plus field, whose rocking
// chords take their place: a held chord would keep its bins from ever falling quiet.
void schedulePads(Buses& buses)
{
    for (double t = 0.0; t < 132.0; t += kChordSeconds) {
        if (fieldAt(t))
            continue;
        PadSettings settings;
        settings.gain = fullestAt(t + 1.0) ? 0.18f : 0.16f;
        settings.cutoffHz = 2600.0f;
        if (t == 0.0) {
            // The opening swell, dark at first.
            settings.attackSeconds = 4.0f;
            settings.cutoffHz = 900.0f;
        }
        const Chord& chord = chordAt(t);
        renderPadChord(buses.pads, frameAt(t), frameAt(kChordSeconds), chord.pad, settings);
    }
}

void scheduleArpeggio(Buses& buses)
{
    // Steps through the chord (an octave up) and back, one bar per pattern.
    constexpr std::array<int, 16> kPattern {0, 1, 2, 3, 1, 2, 3, 2, 0, 1, 2, 3, 2, 3, 1, 2};
    // Over the plus field it rocks through the chord and its colour in the
    // octave from E5, where the bins lie thinnest between the notes.
    constexpr std::array<int, 16> kRocking {0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0};
    const int steps = static_cast<int>(130.0 / kSixteenth);
    for (int step = static_cast<int>(4.0 / kSixteenth); step < steps; ++step) {
        const double t = step * kSixteenth;
        const Chord& chord = chordAt(t);
        const float accent = step % 2 == 0 ? 1.0f : 0.75f;
        const float pan = step % 2 == 0 ? -0.35f : 0.35f;
        const auto slot = static_cast<size_t>(step) % kPattern.size();
        if (fieldAt(t)) {
            const auto tone = static_cast<size_t>(kRocking[slot]);
            const float note = upperColourOf(chord)[tone];
            const float level = 0.2f * fieldLevelAt(t);
            renderChime(buses.arp, frameAt(t), frameAt(kSixteenth * 0.9), note, level, 0.2f, pan);
            continue;
        }
        const std::array<float, 4> tones {
            chord.pad[0] + 12.0f, chord.pad[1] + 12.0f, chord.pad[2] + 12.0f, chord.pad[0] + 24.0f};
        const float note = tones[static_cast<size_t>(kPattern[slot])];
        const float brightness = fullestAt(t) ? 0.9f : 0.8f;
        const float level = 0.1f * accent;
        renderPluck(buses.arp, frameAt(t), note, level, pan, brightness);
    }
}

// The lead's melody over 89-110 s: start beat, length in beats, MIDI note.
struct LeadNote {
    double beat, beats;
    float note;
};
constexpr std::array<LeadNote, 34> kMelody {{
    {178.0, 1.5, 76},
    {179.5, 0.5, 79},
    {180.0, 1.0, 76},
    {181.0, 1.0, 74},
    {182.0, 2.0, 72},
    {184.0, 1.0, 71},
    {185.0, 1.0, 74},
    {186.0, 2.0, 79},
    {188.0, 1.0, 81},
    {189.0, 1.0, 79},
    {190.0, 2.0, 74},
    {192.0, 1.5, 76},
    {193.5, 0.5, 81},
    {194.0, 2.0, 84},
    {196.0, 1.0, 83},
    {197.0, 1.0, 81},
    {198.0, 2.0, 76},
    {200.0, 1.5, 77},
    {201.5, 0.5, 81},
    {202.0, 2.0, 84},
    {204.0, 1.0, 81},
    {205.0, 1.0, 79},
    {206.0, 1.0, 77},
    {207.0, 1.0, 76},
    {208.0, 1.5, 76},
    {209.5, 0.5, 79},
    {210.0, 2.0, 84},
    {212.0, 1.0, 79},
    {213.0, 1.0, 76},
    {214.0, 2.0, 79},
    {216.0, 1.0, 74},
    {217.0, 1.0, 79},
    {218.0, 1.0, 83},
    {219.0, 1.0, 81},
}};

void scheduleLead(Buses& buses)
{
    for (const LeadNote& n : kMelody) {
        const double t = n.beat * kBeatSeconds;
        const int64_t length = frameAt(n.beats * kBeatSeconds * 0.92);
        renderLead(buses.lead, frameAt(t), length, n.note, 0.13f);
    }
}

// Cosine fade from full level at 130 s to silence at 134 s.
float masterFadeAt(double t)
{
    if (t < 130.0)
        return 1.0f;
    if (t >= 134.0)
        return 0.0f;
    return static_cast<float>(0.5 + 0.5 * std::cos(3.141592653589793 * (t - 130.0) / 4.0));
}

float peakOf(const StereoBuffer& buffer)
{
    float peak = 0.0f;
    for (size_t i = 0; i < buffer.left.size(); ++i) {
        peak = std::max(peak, std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i])));
    }
    return peak;
}

}  // namespace

bool kickPlaysAt(double seconds) { return within(seconds, 20.0, 69.0) || within(seconds, 72.0, 122.0); }

bool clapPlaysAt(double seconds)
{
    const bool onTwoOrFour = std::fmod(seconds, 2.0 * kBeatSeconds) == kBeatSeconds;
    return onTwoOrFour && groovePlaysAt(seconds);
}

RenderedTrack renderShowTrack()
{
    const int64_t frames = secondsToFrames(kTrackSeconds);
    Buses buses(frames);
    RenderedTrack track;
    scheduleDrums(buses, track.kickOnsetsMs);
    scheduleBass(buses);
    scheduleChords(buses);
    schedulePads(buses);
    scheduleArpeggio(buses);
    scheduleLead(buses);

    // Under the plus field the tonal parts make way for each kick, the bass
    // most, so that their sum and the kick's body do not pile up into the
    // track's highest peaks; the kick at 32 s still meets their last notes.
    std::vector<int64_t> fieldKicks;
    for (int64_t ms : track.kickOnsetsMs) {
        if (ms <= 32000)
            fieldKicks.push_back(frameAt(static_cast<double>(ms) / 1000.0));
    }
    applyDucking(buses.bass, fieldKicks, 0.8f, 0.06f);
    applyDucking(buses.chords, fieldKicks, 0.3f, 0.08f);
    applyDucking(buses.arp, fieldKicks, 0.3f, 0.08f);

    StereoBuffer mix(frames);
    mix.mixIn(buses.drums, 1.0f);
    mix.mixIn(buses.claps, 1.0f);
    mix.mixIn(buses.hats, 1.0f);
    mix.mixIn(buses.bass, 1.0f);
    mix.mixIn(buses.chords, 1.0f);
    mix.mixIn(buses.pads, 1.0f);
    mix.mixIn(buses.arp, 1.0f);
    mix.mixIn(buses.lead, 1.0f);
    applyPingPongDelay(buses.arp, mix, frameAt(3.0 * kSixteenth), 0.35f, 0.3f);

    StereoBuffer reverbSend(frames);
    reverbSend.mixIn(buses.claps, 0.8f);
    reverbSend.mixIn(buses.hats, 1.5f);
    reverbSend.mixIn(buses.pads, 0.6f);
    reverbSend.mixIn(buses.chords, 0.1f);
    reverbSend.mixIn(buses.lead, 0.66f);
    reverbSend.mixIn(buses.arp, 0.3f);
    applyReverb(reverbSend, mix, ReverbSettings {});

    for (int64_t i = 0; i < frames; ++i) {
        const float fade = masterFadeAt(static_cast<double>(i) / kSampleRate);
        mix.left[static_cast<size_t>(i)] *= fade;
        mix.right[static_cast<size_t>(i)] *= fade;
    }
    const float peak = peakOf(mix);
    track.gainApplied = peak > 0.0f ? decibelsToGain(kMasterPeakDecibels) / peak : 1.0f;
    for (size_t i = 0; i < mix.left.size(); ++i) {
        mix.left[i] *= track.gainApplied;
        mix.right[i] *= track.gainApplied;
    }
    track.audio = std::move(mix);
    return track;
}
