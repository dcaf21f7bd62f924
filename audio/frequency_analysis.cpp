// Windowed magnitude spectrum of 2048 frames of a decoded track (kissfft).
#include "audio/frequency_analysis.h"

#include <kiss_fftr.h>

#include <array>
#include <cmath>
#include <memory>

namespace {

struct FftCloser {
    void operator()(kiss_fftr_cfg cfg) const { kiss_fftr_free(cfg); }
};

// kissfft keeps scratch space in its plan, so each thread gets its own.
kiss_fftr_cfg fftPlan()
{
    thread_local std::unique_ptr<kiss_fftr_state, FftCloser> plan(
        kiss_fftr_alloc(kSpectrumWindow, 0, nullptr, nullptr));
    return plan.get();
}

// Periodic Hann window: its samples sum to exactly half the window length,
// which makes a full-scale DC signal read 1.0 after the 2/N scaling.
const std::array<float, kSpectrumWindow>& hannWindow()
{
    static const std::array<float, kSpectrumWindow> window = [] {
        std::array<float, kSpectrumWindow> w {};
        const double step = 2.0 * 3.14159265358979323846 / kSpectrumWindow;
        for (int n = 0; n < kSpectrumWindow; ++n)
            w[n] = static_cast<float>(0.5 - 0.5 * std::cos(step * n));
        return w;
    }();
    return window;
}

// Mono mean of `frames` of `channels` interleaved samples, windowed; a null
// frame is silence.
template<typename FrameAt> void windowedMono(FrameAt frameAt, int channels, float* out)
{
    const auto& window = hannWindow();
    const float scale = channels > 0 ? 1.0f / static_cast<float>(channels) : 0.0f;
    for (int n = 0; n < kSpectrumWindow; ++n) {
        float sum = 0.0f;
        if (const float* sample = frameAt(n)) {
            for (int c = 0; c < channels; ++c)
                sum += sample[c];
        }
        out[n] = sum * scale * window[n];
    }
}

void magnitudes(float* input, float out[kSpectrumBins])
{
    std::array<kiss_fft_cpx, kSpectrumWindow / 2 + 1> bins;
    kiss_fftr(fftPlan(), input, bins.data());
    const float scale = 2.0f / kSpectrumWindow;
    for (int k = 0; k < kSpectrumBins; ++k)
        out[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale;
}

}  // namespace

void computeSpectrum(const DecodedTrack& track, int64_t endFrame, float out[kSpectrumBins])
{
    const int64_t first = endFrame - kSpectrumWindow;
    const auto frames = static_cast<int64_t>(track.frames());
    const int channels = track.channels;
    const auto frameAt = [&](int n) -> const float* {
        const int64_t frame = first + n;
        return frame >= 0 && frame < frames ? track.samples.data() + frame * channels : nullptr;
    };
    std::array<float, kSpectrumWindow> input;
    windowedMono(frameAt, channels, input.data());
    magnitudes(input.data(), out);
}

void computeSpectrumOfWindow(const float* stereo, float out[kSpectrumBins])
{
    std::array<float, kSpectrumWindow> input;
    windowedMono([stereo](int n) { return stereo + n * 2; }, 2, input.data());
    magnitudes(input.data(), out);
}
