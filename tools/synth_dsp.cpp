// synth_dsp.cpp: oscillators, filters and effects. See synth_dsp.h.
#include "tools/synth_dsp.h"

#include <algorithm>
#include <array>
#include <cmath>

int64_t secondsToFrames(double seconds) { return std::llround(seconds * kSampleRate); }

float midiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }

float decibelsToGain(float decibels) { return std::pow(10.0f, decibels / 20.0f); }

StereoBuffer::StereoBuffer(int64_t frames)
    : left(static_cast<size_t>(frames), 0.0f)
    , right(static_cast<size_t>(frames), 0.0f)
{
}

void StereoBuffer::mixIn(const StereoBuffer& source, float gain)
{
    const size_t n = std::min(left.size(), source.left.size());
    for (size_t i = 0; i < n; ++i) {
        left[i] += source.left[i] * gain;
        right[i] += source.right[i] * gain;
    }
}

PanGains panGains(float pan)
{
    const float angle = (pan + 1.0f) * 0.25f * 3.14159265f;
    return {std::cos(angle), std::sin(angle)};
}

float NoiseSource::next()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

namespace {

// PolyBLEP residual that rounds off a step at phase 0 of a cycle.
float polyBlep(double t, double dt)
{
    if (dt <= 0.0)
        return 0.0f;
    if (t < dt) {
        const double x = t / dt;
        return static_cast<float>(x + x - x * x - 1.0);
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return static_cast<float>(x * x + x + x + 1.0);
    }
    return 0.0f;
}

}  // namespace

void Oscillator::advance()
{
    phase_ += increment_;
    if (phase_ >= 1.0)
        phase_ -= 1.0;
}

float Oscillator::saw()
{
    const float value = static_cast<float>(2.0 * phase_ - 1.0) - polyBlep(phase_, increment_);
    advance();
    return value;
}

float Oscillator::square()
{
    double half = phase_ + 0.5;
    if (half >= 1.0)
        half -= 1.0;
    float value = phase_ < 0.5 ? 1.0f : -1.0f;
    value += polyBlep(phase_, increment_);
    value -= polyBlep(half, increment_);
    advance();
    return value;
}

float Oscillator::sine()
{
    const float value = static_cast<float>(std::sin(2.0 * 3.141592653589793 * phase_));
    advance();
    return value;
}

float Oscillator::triangle()
{
    const float value = static_cast<float>(phase_ < 0.5 ? 4.0 * phase_ - 1.0 : 3.0 - 4.0 * phase_);
    advance();
    return value;
}

void Svf::setCutoff(float cutoffHz, float resonance)
{
    const float limited = std::fmin(std::fmax(cutoffHz, 10.0f), 0.45f * kSampleRate);
    const float g = std::tan(3.14159265f * limited / kSampleRate);
    k_ = 2.0f - 1.9f * std::fmin(std::fmax(resonance, 0.0f), 1.0f);
    a1_ = 1.0f / (1.0f + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
}

void applyPingPongDelay(const StereoBuffer& send, StereoBuffer& out, int64_t delayFrames, float feedback, float gain)
{
    if (delayFrames <= 0)
        return;
    const size_t length = static_cast<size_t>(delayFrames);
    std::vector<float> lineLeft(length, 0.0f), lineRight(length, 0.0f);
    size_t pos = 0;
    for (int64_t i = 0; i < send.frames() && i < out.frames(); ++i) {
        const size_t s = static_cast<size_t>(i);
        const float echoLeft = lineLeft[pos], echoRight = lineRight[pos];
        // The input enters the left line only; each pass crosses to the other side.
        lineLeft[pos] = 0.5f * (send.left[s] + send.right[s]) + echoRight * feedback;
        lineRight[pos] = echoLeft * feedback;
        out.left[s] += echoLeft * gain;
        out.right[s] += echoRight * gain;
        pos = pos + 1 == length ? 0 : pos + 1;
    }
}

void applyDucking(StereoBuffer& buffer, const std::vector<int64_t>& onsets, float depth, float recoverSeconds)
{
    const int64_t lead = secondsToFrames(0.005);
    const double recoverFrames = static_cast<double>(recoverSeconds) * kSampleRate;
    for (size_t k = 0; k < onsets.size(); ++k) {
        const int64_t onset = onsets[k];
        // Eight time constants bring the level back within 0.04 % of full.
        int64_t end = onset + static_cast<int64_t>(8.0 * recoverFrames);
        if (k + 1 < onsets.size())
            end = std::min(end, onsets[k + 1] - lead);
        for (int64_t i = std::max<int64_t>(onset - lead, 0); i < std::min(end, buffer.frames()); ++i) {
            const double duck = i < onset ? static_cast<double>(i - (onset - lead)) / static_cast<double>(lead)
                                          : std::exp(-static_cast<double>(i - onset) / recoverFrames);
            const float gain = 1.0f - depth * static_cast<float>(duck);
            buffer.left[static_cast<size_t>(i)] *= gain;
            buffer.right[static_cast<size_t>(i)] *= gain;
        }
    }
}

namespace {

class Comb {
public:
    explicit Comb(size_t length)
        : line_(length, 0.0f)
    {
    }
    float process(float input, float feedback, float damping)
    {
        const float output = line_[pos_];
        filtered_ = output * (1.0f - damping) + filtered_ * damping;
        line_[pos_] = input + filtered_ * feedback;
        pos_ = pos_ + 1 == line_.size() ? 0 : pos_ + 1;
        return output;
    }

private:
    std::vector<float> line_;
    size_t pos_ = 0;
    float filtered_ = 0.0f;
};

class AllPass {
public:
    explicit AllPass(size_t length)
        : line_(length, 0.0f)
    {
    }
    float process(float input)
    {
        const float buffered = line_[pos_];
        line_[pos_] = input + buffered * 0.5f;
        pos_ = pos_ + 1 == line_.size() ? 0 : pos_ + 1;
        return buffered - input;
    }

private:
    std::vector<float> line_;
    size_t pos_ = 0;
};

constexpr std::array<size_t, 8> kCombLengths {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<size_t, 4> kAllPassLengths {556, 441, 341, 225};
// The right channel's lines are a little longer, which decorrelates the sides.
constexpr size_t kStereoSpread = 23;

}  // namespace

void applyReverb(const StereoBuffer& send, StereoBuffer& out, const ReverbSettings& settings)
{
    std::vector<Comb> combsLeft, combsRight;
    std::vector<AllPass> allPassLeft, allPassRight;
    for (size_t length : kCombLengths) {
        combsLeft.emplace_back(length);
        combsRight.emplace_back(length + kStereoSpread);
    }
    for (size_t length : kAllPassLengths) {
        allPassLeft.emplace_back(length);
        allPassRight.emplace_back(length + kStereoSpread);
    }
    const float inputGain = 0.015f;
    for (int64_t i = 0; i < send.frames() && i < out.frames(); ++i) {
        const size_t s = static_cast<size_t>(i);
        const float input = (send.left[s] + send.right[s]) * inputGain;
        float wetLeft = 0.0f, wetRight = 0.0f;
        for (size_t c = 0; c < combsLeft.size(); ++c) {
            wetLeft += combsLeft[c].process(input, settings.roomSize, settings.damping);
            wetRight += combsRight[c].process(input, settings.roomSize, settings.damping);
        }
        for (size_t a = 0; a < allPassLeft.size(); ++a) {
            wetLeft = allPassLeft[a].process(wetLeft);
            wetRight = allPassRight[a].process(wetRight);
        }
        out.left[s] += wetLeft * settings.gain;
        out.right[s] += wetRight * settings.gain;
    }
}
