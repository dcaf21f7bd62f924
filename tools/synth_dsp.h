// synth_dsp.h: the building blocks of the show's synthesised track: a stereo
// buffer, a repeatable noise source, band-limited oscillators, a state-variable
// filter, and the two send effects (ping-pong delay and a small room reverb).
//
// Everything is single-threaded arithmetic in a fixed order: the same calls
// produce the same samples on every run, which keeps the encoded track
// byte-identical from build to build.
//
// Usage:
//     StereoBuffer mix(secondsToFrames(135.0));
//     Svf filter; filter.setCutoff(1200.0f, 0.3f);
//     float y = filter.process(x).low;
//     applyReverb(sendBus, mix, ReverbSettings{});
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kSampleRate = 44100;
inline constexpr float kTwoPi = 6.2831853f;

int64_t secondsToFrames(double seconds);
float midiToHz(float note);
float decibelsToGain(float decibels);

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    StereoBuffer() = default;
    explicit StereoBuffer(int64_t frames);
    int64_t frames() const { return static_cast<int64_t>(left.size()); }
    // Adds a sample pair when `frame` lies inside the buffer; ignores it otherwise.
    void add(int64_t frame, float l, float r)
    {
        if (frame < 0 || frame >= frames())
            return;
        left[static_cast<size_t>(frame)] += l;
        right[static_cast<size_t>(frame)] += r;
    }
    // Adds `source` scaled by `gain`, sample by sample.
    void mixIn(const StereoBuffer& source, float gain);
};

// Equal-power pan: -1 left, 0 centre, +1 right.
struct PanGains {
    float left, right;
};
PanGains panGains(float pan);

// xorshift32: white noise in [-1, 1) from a fixed seed.
class NoiseSource {
public:
    explicit NoiseSource(uint32_t seed)
        : state_(seed != 0 ? seed : 0x2545F491u)
    {
    }
    float next();

private:
    uint32_t state_;
};

// A phase accumulator in double precision, so long notes keep their pitch.
class Oscillator {
public:
    void setFrequency(float hz) { increment_ = static_cast<double>(hz) / kSampleRate; }
    void setPhase(double phase) { phase_ = phase; }
    float saw();     // band-limited (PolyBLEP), -1..1
    float square();  // band-limited, -1..1
    float sine();
    float triangle();  // naive: its harmonics fall fast enough not to alias audibly

private:
    void advance();
    double phase_ = 0.0;
    double increment_ = 0.0;
};

// Topology-preserving state-variable filter: low, band and high outputs.
class Svf {
public:
    struct Outputs {
        float low, band, high;
    };
    // Corner frequency of all three outputs; resonance 0..1 (0 is heavily damped).
    void setCutoff(float cutoffHz, float resonance);
    Outputs process(float input)
    {
        const float v3 = input - ic2_;
        const float v1 = a1_ * ic1_ + a2_ * v3;
        const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0f * v1 - ic1_;
        ic2_ = 2.0f * v2 - ic2_;
        return {v2, v1, input - k_ * v1 - v2};
    }
    void reset() { ic1_ = ic2_ = 0.0f; }

private:
    float a1_ = 0.0f, a2_ = 0.0f, a3_ = 0.0f, k_ = 2.0f;
    float ic1_ = 0.0f, ic2_ = 0.0f;
};

// Echoes alternate between the channels; `feedback` below 1.
void applyPingPongDelay(const StereoBuffer& send, StereoBuffer& out, int64_t delayFrames, float feedback, float gain);

// Sidechain ducking: around each onset (ascending frames) the buffer's level
// falls by `depth` over the 5 ms before it and recovers exponentially with
// time constant recoverSeconds, which leaves room for the hit that triggers it.
void applyDucking(StereoBuffer& buffer, const std::vector<int64_t>& onsets, float depth, float recoverSeconds);

struct ReverbSettings {
    float roomSize = 0.82f;  // comb feedback
    float damping = 0.35f;   // high-frequency loss per pass
    float gain = 0.3f;
};
// A compact Schroeder reverb (eight combs, four all-passes per channel).
void applyReverb(const StereoBuffer& send, StereoBuffer& out, const ReverbSettings& settings);
