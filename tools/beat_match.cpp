// beat_match.cpp: see beat_match.h.
#include "tools/beat_match.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "audio/beat_detector.h"
#include "audio/frequency_analysis.h"

namespace {

constexpr double kFramesPerSecond = 60.0;

int64_t frameTimeMs(int64_t frame) { return frame * 1000 / 60; }

// Frame position of a show time, in (fractional) frames.
double framePosition(int64_t ms) { return static_cast<double>(ms) * kFramesPerSecond / 1000.0; }

// How many frames a 2048-sample spectrum window spans at 60 frames per second.
double windowInFrames(int sampleRate) { return kSpectrumWindow * kFramesPerSecond / sampleRate; }

}  // namespace

BeatMatch matchBeatsToKicks(
    const DecodedTrack& track, const std::vector<int64_t>& kickOnsetsMs, int64_t fromMs, int64_t toMs)
{
    BeatMatch match;
    std::vector<int64_t> beatFrames;
    BeatDetector detector;
    std::vector<float> spectrum(kSpectrumBins);
    for (int64_t frame = 0; frameTimeMs(frame) < toMs; ++frame) {
        const int64_t ms = frameTimeMs(frame);
        computeSpectrum(track, ms * track.sampleRate / 1000, spectrum.data());
        detector.analyse(spectrum.data());
        if (ms >= fromMs && detector.beatFlags[0] == 1)
            beatFrames.push_back(frame);
    }

    std::vector<double> kicks;
    for (int64_t ms : kickOnsetsMs) {
        if (ms >= fromMs && ms < toMs)
            kicks.push_back(framePosition(ms));
    }
    match.kicks = static_cast<int>(kicks.size());
    for (size_t i = 0; i < kicks.size(); ++i) {
        const bool hit = std::any_of(beatFrames.begin(), beatFrames.end(),
            [&](int64_t f) { return std::abs(static_cast<double>(f) - kicks[i]) <= 1.0 + 1e-9; });
        if (hit) {
            ++match.hits;
        } else {
            match.missedKicksMs.push_back(static_cast<int64_t>(kicks[i] * 1000.0 / kFramesPerSecond + 0.5));
        }
    }

    const double window = windowInFrames(track.sampleRate);
    match.beatFrames = static_cast<int>(beatFrames.size());
    for (int64_t f : beatFrames) {
        const double at = static_cast<double>(f);
        const bool nearKick = std::any_of(
            kicks.begin(), kicks.end(), [&](double k) { return at >= k - 1.0 && at <= k + window + 1.0; });
        if (!nearKick) {
            ++match.strayFrames;
            match.strayBeatsMs.push_back(frameTimeMs(f));
        }
    }
    return match;
}

bool readKickOnsets(const std::string& path, std::vector<int64_t>& onsetsMs)
{
    std::ifstream in(path);
    if (!in)
        return false;
    onsetsMs.clear();
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        int64_t ms = 0;
        if (!(fields >> ms) || ms < 0)
            return false;
        onsetsMs.push_back(ms);
    }
    return true;
}
