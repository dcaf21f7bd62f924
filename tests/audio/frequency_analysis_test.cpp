// The spectrum: full scale reads one, channels mix, silence outside the track
// (the back-end test finds a sine in its bin).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "audio/frequency_analysis.h"

namespace {

std::array<float, 1024> spectrumAt(const DecodedTrack& track, int64_t endFrame)
{
    std::array<float, 1024> out;
    out.fill(-1.0f);
    computeSpectrum(track, endFrame, out.data());
    return out;
}

}  // namespace

TEST(Spectrum, DcReadsOneChannelsMixAsTheirMeanAndOutsideTheTrackIsSilence)
{
    DecodedTrack dc;
    dc.samples.assign(2 * 2048, 1.0f);
    const auto bins = spectrumAt(dc, 2048);
    EXPECT_NEAR(bins[0], 1.0f, 1e-4f);
    // The Hann window spreads it into the next bin at half its level, and no further.
    EXPECT_NEAR(bins[1], 0.5f, 1e-4f);
    EXPECT_LT(*std::max_element(bins.begin() + 2, bins.end()), 1e-4f);
    DecodedTrack uneven = dc;
    for (size_t i = 1; i < uneven.samples.size(); i += 2)
        uneven.samples[i] = -0.5f;
    EXPECT_NEAR(spectrumAt(uneven, 2048)[0], 0.25f, 1e-4f);
    // Half the window on the track: the Hann window's half sums to a quarter of 2048.
    EXPECT_NEAR(spectrumAt(dc, 1024)[0], 0.5f, 1e-3f);
    EXPECT_NEAR(spectrumAt(dc, 3072)[0], 0.5f, 1e-3f);
    for (int64_t end : {int64_t {0}, int64_t {-5000}, int64_t {4096}, int64_t {1} << 40})
        EXPECT_EQ(spectrumAt(dc, end), (std::array<float, 1024> {})) << "end " << end;
}
