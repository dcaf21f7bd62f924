// The offline and device audio back ends: position, spectrum, mixing and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/audio_backend.h"
#include "audio/frequency_analysis.h"
#include "audio/music_player.h"
#include "test_tracks.h"

namespace {

// A 3-second MP3: silence, a sine on bin 64 from 1 s to 2 s, silence.
const std::string& toneFile()
{
    static const std::string path = [] {
        const std::string file = tempPath("backend-tone.mp3");
        std::vector<float> mono = sine(64 * 44100.0 / 2048, 44100, 44100, 0.9f);
        mono.insert(mono.begin(), 44100, 0.0f);
        mono.resize(44100 * 3);
        writeMp3(file, mono, 44100, 2);
        return file;
    }();
    return path;
}

std::vector<float> spectrumOf(AudioBackend& backend, AudioHandle handle)
{
    std::vector<float> bins(1024, -1.0f);
    backend.spectrum(handle, bins.data());
    return bins;
}

}  // namespace

TEST(OfflineBackend, SpectrumFollowsThePositionIsZeroOutsidePlaybackAndIgnoresVolume)
{
    auto backend = makeOfflineAudioBackend();
    ASSERT_TRUE(backend->init(44100));
    MusicPlayer a, m;
    ASSERT_EQ(a.loadMusic(*backend, toneFile()), 0) << backend->lastError();
    ASSERT_EQ(m.loadMusic(*backend, toneFile()), 0);
    backend->setPositionMs(1500);
    EXPECT_EQ(spectrumOf(*backend, a.channel()), std::vector<float>(1024, 0.0f)) << "before play";
    backend->setPositionMs(0);
    startMusic(*backend, a, true);
    startMusic(*backend, m, false);
    const DecodedTrack whole = decodeOrFail(toneFile());
    std::vector<float> expected(1024);
    // Forward, back near the start (the stream decodes afresh), then past the end.
    for (double ms : {500.0, 1500.0, 1990.0, 20.0, 1400.0, 60000.0}) {
        backend->setPositionMs(ms);
        computeSpectrum(whole, std::llround(ms * 44.1), expected.data());
        EXPECT_EQ(spectrumOf(*backend, a.channel()), expected) << ms;
        EXPECT_EQ(spectrumOf(*backend, m.channel()), expected) << ms;
        EXPECT_NEAR(backend->positionMs(a.channel()), ms, 0.05);
    }
    EXPECT_EQ(spectrumOf(*backend, m.channel() + 1), std::vector<float>(1024, -1.0f)) << "unknown handle";
    // Sought back into the tone at output time 60 s: it plays on from there.
    backend->seek(a.channel(), 1500);
    backend->setPositionMs(60100);
    EXPECT_NEAR(backend->positionMs(a.channel()), 1600, 0.05);
    std::vector<float> at(1024);
    backend->spectrumAt(a.channel(), 1600, at.data());
    EXPECT_EQ(spectrumOf(*backend, a.channel()), at);
    EXPECT_NEAR(at[64], 0.45f, 0.05f);
    backend->release();
    backend->release();
    EXPECT_EQ(backend->openTrack(a.channel()), nullptr);
}

// The disk driver writes the callback's output to a file, so the mix can be
// read back; it paces itself by a delay of its own, not by real time. The
// test waits on what the device has written, never for a time.
TEST(DeviceBackend, CallbackMixesTheTrackAtItsVolumeAndStopFreezesThePosition)
{
    std::string error;
    DecodedTrack track;
    ASSERT_TRUE(decodeMp3File(toneFile(), track, error));
    const std::string out = tempPath("disk.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    auto backend = makeDeviceAudioBackend([](const std::string&) {});
    ASSERT_TRUE(backend->init(44100));
    const AudioHandle h = backend->openStream(toneFile());
    backend->setVolume(h, 0.5f);
    const auto deviceWrites = [&](uintmax_t bytes) {
        const uintmax_t until = std::filesystem::file_size(out) + bytes;
        return pollUntil(
            30, [&] { return std::filesystem::file_size(out) >= until; }, 1);
    };
    backend->start();
    backend->play(h);
    // The tone, from 1 s, and 20000 frames of it, with blocks to spare.
    ASSERT_TRUE(deviceWrites((44100 + 20000 + 8 * 1024) * 2 * sizeof(float))) << "the device stalled";
    backend->stop();
    const double stopped = backend->positionMs(h);
    // A stopped device goes on writing silence, so the wait sees its clock run on.
    ASSERT_TRUE(deviceWrites(4 * 1024 * 2 * sizeof(float)));
    EXPECT_GT(stopped, 0.0);
    EXPECT_EQ(backend->positionMs(h), stopped);
    backend->release();
    std::vector<float> mix(std::filesystem::file_size(out) / sizeof(float));
    std::ifstream(out, std::ios::binary).read(reinterpret_cast<char*>(mix.data()), mix.size() * sizeof(float));

    const auto nonZero = [](float v) { return v != 0.0f; };
    const size_t first = std::find_if(mix.begin(), mix.end(), nonZero) - mix.begin();
    const size_t trackFirst = std::find_if(track.samples.begin(), track.samples.end(), nonZero) - track.samples.begin();
    ASSERT_LT(first + 20000, mix.size()) << "the tone never reached the device";
    for (size_t i = 0; i < 20000; ++i)
        ASSERT_FLOAT_EQ(mix[first + i], 0.5f * track.samples[trackFirst + i]) << i;
}
