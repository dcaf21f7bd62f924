// synth_voices.cpp: the instruments. See synth_voices.h.
#include "tools/synth_voices.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr float kKickCeiling = 0.95f;

float secondsAt(int64_t n) { return static_cast<float>(n) / static_cast<float>(kSampleRate); }

// Noise seeds follow the start frame, so two hits never share a waveform but
// every run of the generator makes the same ones.
uint32_t seedFor(int64_t start, uint32_t salt) { return static_cast<uint32_t>(start) * 2654435761u ^ salt; }

// Linear rise over `attack` seconds, then 1.
float attackRamp(float t, float attack) { return attack > 0.0f && t < attack ? t / attack : 1.0f; }

// Short fade over the last `fade` frames of a note, so no voice ends with a step.
float endFade(int64_t n, int64_t length, int64_t fade)
{
    const int64_t left = length - n;
    return left < fade ? static_cast<float>(left) / static_cast<float>(fade) : 1.0f;
}

}  // namespace

void renderKick(StereoBuffer& out, int64_t start, const KickSettings& settings)
{
    const int64_t length = secondsToFrames(0.4);
    NoiseSource noise(seedFor(start, 0x4B1Cu));
    Svf clickTone;
    clickTone.setCutoff(9000.0f, 0.2f);
    double bodyPhase = 0.0, clickPhase = 0.0;
    const float drive = 1.4f, driveNorm = 1.0f / std::tanh(drive);
    for (int64_t n = 0; n < length; ++n) {
        const float t = secondsAt(n);
        // A fast fall from a high pitch gives the punch; the body settles near 48 Hz.
        const float hz = 48.0f + 90.0f * std::exp(-t / 0.022f) + 250.0f * std::exp(-t / 0.004f);
        bodyPhase += static_cast<double>(hz) / kSampleRate;
        const float hold = t < 0.008f ? 1.0f : std::exp(-(t - 0.008f) / settings.bodyDecaySeconds);
        const float envelope = attackRamp(t, 0.0005f) * hold * endFade(n, length, 441);
        const float body
            = std::tanh(drive * static_cast<float>(std::sin(6.283185307179586 * bodyPhase)) * envelope) * driveNorm;
        // The beater: a sweep from 8 kHz down to 300 Hz within a few milliseconds
        // touches every band at once, with a lower crest than a noise burst.
        const float clickHz = 300.0f + 7700.0f * std::exp(-t / 0.0015f);
        clickPhase += static_cast<double>(clickHz) / kSampleRate;
        const float clickEnvelope = attackRamp(t, 0.0002f) * std::exp(-t / settings.clickSeconds);
        const float click = (static_cast<float>(std::sin(6.283185307179586 * clickPhase))
                                + 0.3f * clickTone.process(noise.next()).low)
            * clickEnvelope;
        // Clipping the sum keeps the click's peaks in line with the body's
        // without taking its breadth, so the kick can be loud in the mix.
        const float sample
            = kKickCeiling * std::tanh((settings.gain * body + settings.clickGain * click) / kKickCeiling);
        out.add(start + n, sample, sample);
    }
}

void renderClap(StereoBuffer& out, int64_t start, float gain)
{
    const int64_t length = secondsToFrames(0.5);
    NoiseSource noise(seedFor(start, 0xC1A9u));
    Svf body, air;
    body.setCutoff(1400.0f, 0.55f);
    air.setCutoff(5000.0f, 0.1f);
    constexpr float kBursts[3] = {0.0f, 0.007f, 0.014f};
    for (int64_t n = 0; n < length; ++n) {
        const float t = secondsAt(n);
        float envelope = 0.0f;
        for (float b : kBursts) {
            if (t >= b)
                envelope = std::max(envelope, attackRamp(t - b, 0.0015f) * std::exp(-(t - b) / 0.006f));
        }
        if (t >= 0.018f)
            envelope = std::max(envelope, 0.35f * std::exp(-(t - 0.018f) / 0.04f));
        const float white = noise.next();
        const float tone = body.process(white).band * 1.6f + air.process(white).band * 0.5f;
        const float sample = gain * envelope * tone * endFade(n, length, 441);
        out.add(start + n, sample * 0.95f, sample);
    }
}

void renderHat(StereoBuffer& out, int64_t start, float gain, float decaySeconds, float pan)
{
    const int64_t length = secondsToFrames(std::min(6.0f * decaySeconds, 1.0f));
    NoiseSource noise(seedFor(start, 0x4A7u));
    Svf highPass, shimmer;
    highPass.setCutoff(7500.0f, 0.2f);
    shimmer.setCutoff(11000.0f, 0.5f);
    const PanGains sides = panGains(pan);
    for (int64_t n = 0; n < length; ++n) {
        const float t = secondsAt(n);
        const float envelope = attackRamp(t, 0.004f) * std::exp(-t / decaySeconds) * endFade(n, length, 221);
        const float white = noise.next();
        const float tone = highPass.process(white).high * 0.7f + shimmer.process(white).band * 0.5f;
        const float sample = gain * envelope * tone;
        out.add(start + n, sample * sides.left, sample * sides.right);
    }
}

void renderBass(StereoBuffer& out, int64_t start, int64_t length, float note, const BassSettings& settings)
{
    const int64_t release = secondsToFrames(0.03);
    const int64_t total = length + release;
    Oscillator saw, sub;
    saw.setFrequency(midiToHz(note));
    sub.setFrequency(midiToHz(note));
    Svf filter;
    for (int64_t n = 0; n < total; ++n) {
        const float t = secondsAt(n);
        if (n % 16 == 0)
            filter.setCutoff(settings.cutoffHz + settings.envelopeHz * std::exp(-t / settings.envelopeSeconds), 0.35f);
        const float gate = n < length ? 1.0f : 1.0f - static_cast<float>(n - length) / static_cast<float>(release);
        const float envelope = attackRamp(t, 0.008f) * gate;
        const float tone = filter.process(saw.saw()).low * 0.7f + sub.sine() * settings.sub;
        const float sample = settings.gain * envelope * tone;
        out.add(start + n, sample, sample);
    }
}

void renderPadChord(
    StereoBuffer& out, int64_t start, int64_t length, std::span<const float> notes, const PadSettings& settings)
{
    const int64_t attack = secondsToFrames(settings.attackSeconds);
    const int64_t release = secondsToFrames(settings.releaseSeconds);
    const int64_t total = length + release;
    // Two detuned saws per note and side; the sides are detuned in opposite
    // directions, which spreads the chord across the stereo field.
    constexpr float kDetuneCents[4] = {-7.0f, 4.0f, 7.0f, -4.0f};
    std::vector<Oscillator> oscillators(notes.size() * 4);
    for (size_t i = 0; i < notes.size(); ++i) {
        for (size_t d = 0; d < 4; ++d) {
            Oscillator& osc = oscillators[i * 4 + d];
            osc.setFrequency(midiToHz(notes[i] + kDetuneCents[d] / 100.0f));
            osc.setPhase(0.173 * static_cast<double>(i * 4 + d));
        }
    }
    Svf filterLeft, filterRight;
    const float voiceScale = 1.0f / std::sqrt(static_cast<float>(notes.size() * 2));
    for (int64_t n = 0; n < total; ++n) {
        if (n % 32 == 0) {
            const float t = secondsAt(start + n);
            const float sweep = settings.cutoffHz * (1.0f + 0.25f * std::sin(kTwoPi * 0.07f * t));
            filterLeft.setCutoff(sweep, 0.3f);
            filterRight.setCutoff(sweep * 1.05f, 0.3f);
        }
        float envelope = 1.0f;
        if (n < attack) {
            const float x = static_cast<float>(n) / static_cast<float>(attack);
            envelope = x * x * (3.0f - 2.0f * x);
        }
        if (n >= length) {
            const float x = 1.0f - static_cast<float>(n - length) / static_cast<float>(release);
            envelope *= x * x;
        }
        float left = 0.0f, right = 0.0f;
        for (size_t i = 0; i < notes.size(); ++i) {
            left += oscillators[i * 4].saw() + oscillators[i * 4 + 1].saw();
            right += oscillators[i * 4 + 2].saw() + oscillators[i * 4 + 3].saw();
        }
        const float scale = settings.gain * envelope * voiceScale;
        out.add(start + n, filterLeft.process(left).low * scale, filterRight.process(right).low * scale);
    }
}

void renderPluck(StereoBuffer& out, int64_t start, float note, float gain, float pan, float brightness)
{
    const int64_t length = secondsToFrames(0.5);
    Oscillator pulse, body;
    pulse.setFrequency(midiToHz(note));
    body.setFrequency(midiToHz(note));
    Svf filter;
    const PanGains sides = panGains(pan);
    for (int64_t n = 0; n < length; ++n) {
        const float t = secondsAt(n);
        if (n % 16 == 0)
            filter.setCutoff(500.0f + 2600.0f * brightness * std::exp(-t / 0.06f), 0.4f);
        const float envelope = attackRamp(t, 0.004f) * std::exp(-t / 0.13f) * endFade(n, length, 441);
        const float tone = filter.process(pulse.square() * 0.5f + body.triangle() * 0.5f).low;
        const float sample = gain * envelope * tone;
        out.add(start + n, sample * sides.left, sample * sides.right);
    }
}

void renderChime(StereoBuffer& out, int64_t start, int64_t length, float note, float gain, float octave, float pan)
{
    const int64_t release = secondsToFrames(0.02);
    const int64_t total = length + release;
    Oscillator fundamental, upper;
    fundamental.setFrequency(midiToHz(note));
    upper.setFrequency(midiToHz(note + 12.0f));
    const PanGains sides = panGains(pan);
    for (int64_t n = 0; n < total; ++n) {
        const float t = secondsAt(n);
        const float gate = n < length ? 1.0f : 1.0f - static_cast<float>(n - length) / static_cast<float>(release);
        const float envelope = attackRamp(t, 0.004f) * std::exp(-t / 0.6f) * gate;
        const float sample = gain * envelope * (fundamental.sine() + octave * upper.sine());
        out.add(start + n, sample * sides.left, sample * sides.right);
    }
}

void renderSineChord(
    StereoBuffer& out, int64_t start, int64_t length, std::span<const float> notes, float gain, float fadeSeconds)
{
    const int64_t fade = std::max<int64_t>(secondsToFrames(fadeSeconds), 1);
    const int64_t total = length + fade;
    std::vector<Oscillator> tones(notes.size());
    for (size_t i = 0; i < notes.size(); ++i) {
        tones[i].setFrequency(midiToHz(notes[i]));
        tones[i].setPhase(0.31 * static_cast<double>(i));
    }
    for (int64_t n = 0; n < total; ++n) {
        const float rise = std::min(static_cast<float>(n) / static_cast<float>(fade), 1.0f);
        const float fall = n < length ? 1.0f : 1.0f - static_cast<float>(n - length) / static_cast<float>(fade);
        float sum = 0.0f;
        for (Oscillator& tone : tones)
            sum += tone.sine();
        const float sample = gain * rise * fall * sum;
        out.add(start + n, sample, sample);
    }
}

void renderLead(StereoBuffer& out, int64_t start, int64_t length, float note, float gain)
{
    const int64_t release = secondsToFrames(0.12);
    const int64_t total = length + release;
    Oscillator a, b, low;
    Svf filterLeft, filterRight;
    filterLeft.setCutoff(2300.0f, 0.35f);
    filterRight.setCutoff(2300.0f, 0.35f);
    for (int64_t n = 0; n < total; ++n) {
        const float t = secondsAt(n);
        if (n % 16 == 0) {
            // Vibrato joins once the note has settled, as a player would add it.
            const float depth = 0.12f * std::clamp((t - 0.2f) / 0.3f, 0.0f, 1.0f);
            const float bend = depth * std::sin(kTwoPi * 5.5f * t);
            a.setFrequency(midiToHz(note + bend + 0.08f));
            b.setFrequency(midiToHz(note + bend - 0.08f));
            low.setFrequency(midiToHz(note + bend - 12.0f));
        }
        const float gate = n < length ? 1.0f : 1.0f - static_cast<float>(n - length) / static_cast<float>(release);
        const float envelope = attackRamp(t, 0.025f) * (0.85f + 0.15f * std::exp(-t / 0.3f)) * gate;
        const float sub = low.square() * 0.25f;
        const float left = filterLeft.process(a.saw() * 0.6f + sub).low;
        const float right = filterRight.process(b.saw() * 0.6f + sub).low;
        out.add(start + n, gain * envelope * left, gain * envelope * right);
    }
}
