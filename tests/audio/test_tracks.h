// Music written by the tests themselves: PCM tracks and MP3 files encoded with LAME.
#pragma once

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "audio/decoded_track.h"
#include "audio/track_source.h"
#include "tests/support/process.h"

// `frames` samples of a sine at `frequency` Hz and `sampleRate`, peaking at `amplitude`.
inline std::vector<float> sine(double frequency, int sampleRate, size_t frames, float amplitude)
{
    std::vector<float> out(frames);
    for (size_t i = 0; i < frames; ++i)
        out[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / sampleRate));
    return out;
}

// The whole file decoded, as an MP3 or a tracker module; a failure fails the test.
inline DecodedTrack decodeOrFail(const std::string& path, bool isModule = false)
{
    DecodedTrack track;
    std::string error;
    EXPECT_TRUE(isModule ? decodeModuleFile(path, track, error) : decodeMp3File(path, track, error)) << error;
    return track;
}

// A fresh path in the test program's scratch folder, which goes with
// everything in it when the program ends.
inline std::string tempPath(const std::string& name)
{
    static const ScratchDir folder("audio-test");
    return (folder.path() / name).string();
}

// Writes `mono` as an MP3 (stereo or mono) at `sampleRate` with the tag that
// carries the gapless trim.
inline bool writeMp3(const std::string& path, const std::vector<float>& mono, int sampleRate, int channels)
{
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, 128);
    lame_set_bWriteVbrTag(lame, 1);
    std::vector<unsigned char> bytes(mono.size() * 5 / 4 + 7200 + 16384);
    int written = lame_init_params(lame) < 0
        ? -1
        : lame_encode_buffer_ieee_float(lame, mono.data(), mono.data(), static_cast<int>(mono.size()), bytes.data(),
            static_cast<int>(bytes.size()));
    if (written >= 0)
        written += lame_encode_flush(lame, bytes.data() + written, static_cast<int>(bytes.size()) - written);
    // The first frame is a placeholder for the tag.
    const size_t tagSize = written > 0 ? lame_get_lametag_frame(lame, bytes.data(), 8192) : 0;
    lame_close(lame);
    bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return tagSize > 0
        && std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), written);
}

// Holds a decoder inside its read until the test opens it. A decoder held
// for five seconds goes on and says so: a test whose step waited on it fails
// rather than hangs.
class DecoderGate {
public:
    void pass()
    {
        entered_.set_value();
        forced_ = opened_.wait_for(std::chrono::seconds(5)) == std::future_status::timeout;
    }
    // True once a decoder is held (or was), within five seconds.
    bool waitEntered() { return entered_.get_future().wait_for(std::chrono::seconds(5)) == std::future_status::ready; }
    void open() { open_.set_value(); }
    // The held decoder gave up waiting: what the test did meanwhile waited on it.
    bool forced() const { return forced_; }

private:
    std::promise<void> entered_, open_;
    std::future<void> opened_ = open_.get_future();
    std::atomic<bool> forced_ {false};
};

// A track made on the fly, `length` frames long, whose every frame up to a
// million is told apart by its two samples; it moves anywhere exactly. Each
// read is counted in `reads`; the first waits at `gate`, where there is one.
class CountingSource : public TrackSource {
public:
    CountingSource(int64_t length, std::atomic<int>& reads, DecoderGate* gate = nullptr)
        : length_(length)
        , reads_(reads)
        , gate_(gate)
    {
    }

    static float left(int64_t frame) { return static_cast<float>(frame % 1000) / 1000.0f; }
    static float right(int64_t frame) { return static_cast<float>(frame / 1000 % 1000) / 1000.0f; }

    size_t read(float* out, size_t frames) override
    {
        if (DecoderGate* gate = std::exchange(gate_, nullptr))
            gate->pass();
        ++reads_;
        const auto count = static_cast<size_t>(std::clamp<int64_t>(length_ - at_, 0, static_cast<int64_t>(frames)));
        for (size_t i = 0; i < count; ++i, ++at_) {
            out[2 * i] = left(at_);
            out[2 * i + 1] = right(at_);
        }
        return count;
    }

    bool skipTo(int64_t frame) override
    {
        at_ = std::min(frame, length_);
        return true;
    }

private:
    int64_t length_;
    int64_t at_ = 0;
    std::atomic<int>& reads_;
    DecoderGate* gate_;
};
