// Energy-jump beat detection over a fixed ring of past frame energies.
#include "audio/beat_detector.h"

namespace {

// Marks a history slot that has not received an energy yet.
constexpr float kUnfilled = -1.0f;
constexpr double kBeatRatio = 1.4;

}  // namespace

BeatDetector::BeatDetector()
{
    for (int band = 0; band < bandCount; ++band) {
        bandEnergy.push_back(0.0f);
        beatFlags.push_back(0);
        energyHistory_.emplace_back(static_cast<size_t>(historyLength), kUnfilled);
        historyNext_.push_back(0);
    }
}

void BeatDetector::updateBeats(AudioBackend& backend, MusicPlayer& music, uint32_t /*showTimeMs*/)
{
    backend.spectrum(music.channel(), music.spectrum.data());
    analyse(music.spectrum.data());
}

void BeatDetector::analyse(const float* spectrum1024)
{
    spectrum = spectrum1024;
    const float reciprocal = 1.0f / static_cast<float>(binsPerBand);
    for (int band = 0; band < bandCount; ++band) {
        const float* bins = spectrum + band * binsPerBand;
        float sum = 0.0f;
        for (int k = 0; k < binsPerBand; ++k)
            sum += bins[k];
        const float energy = reciprocal * sum;
        bandEnergy[band] = energy;
        const float average = averageOfHistory(band);
        pushHistory(band, energy);
        beatFlags[band] = static_cast<double>(energy) > static_cast<double>(average) * kBeatRatio ? 1 : 0;
    }
}

std::vector<float> BeatDetector::history(int band) const
{
    const auto& ring = energyHistory_[band];
    std::vector<float> ordered;
    ordered.reserve(ring.size());
    for (size_t i = 0; i < ring.size(); ++i)
        ordered.push_back(ring[(historyNext_[band] + i) % ring.size()]);
    return ordered;
}

float BeatDetector::averageOfHistory(int band) const
{
    const auto& ring = energyHistory_[band];
    float total = 0.0f;
    int count = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const float entry = ring[(historyNext_[band] + i) % ring.size()];
        if (entry >= 0.0f) {
            total += entry;
            ++count;
        }
    }
    return count > 0 ? (1.0f / static_cast<float>(count)) * total : 0.0f;
}

void BeatDetector::pushHistory(int band, float energy)
{
    auto& ring = energyHistory_[band];
    ring[historyNext_[band]] = energy;
    historyNext_[band] = (historyNext_[band] + 1) % static_cast<int>(ring.size());
}
