// plus_size_spread.cpp: see plus_size_spread.h.
#include "tools/plus_size_spread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "audio/frequency_analysis.h"

namespace {

constexpr int kBins = kPlusLastBin - kPlusFirstBin + 1;

int64_t frameTimeMs(int64_t frame) { return frame * 1000 / 60; }

// Linear interpolation between the order statistics around fraction q.
double percentile(std::vector<float>& values, double q)
{
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(at);
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (at - static_cast<double>(below)) * (values[above] - values[below]);
}

}  // namespace

double plusSizeSpread(const DecodedTrack& track, int64_t fromMs, int64_t toMs)
{
    std::array<std::vector<float>, kBins> sizes;
    std::vector<float> spectrum(kSpectrumBins);
    for (int64_t frame = 0; frameTimeMs(frame) < toMs; ++frame) {
        const int64_t ms = frameTimeMs(frame);
        if (ms < fromMs)
            continue;
        computeSpectrum(track, ms * track.sampleRate / 1000, spectrum.data());
        for (int bin = 0; bin < kBins; ++bin)
            sizes[bin].push_back(plusSpriteSize(spectrum[kPlusFirstBin + bin]));
    }
    if (sizes[0].empty())
        return 0.0;
    std::vector<float> spreads;
    for (auto& bin : sizes)
        spreads.push_back(static_cast<float>(percentile(bin, 0.9) - percentile(bin, 0.1)));
    return percentile(spreads, 0.5);
}
