// The sound server output against a private PulseAudio with a null sink.
#include <gtest/gtest.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "audio/stream_time.h"
#include "audio/track_backend.h"
#include "test_tracks.h"
#include "tests/support/sound_server.h"

namespace {

constexpr int64_t kLength = 44100 * 60;

// A private server, the output connected to it, its warnings kept, and the
// track it plays.
class ServerBackend : public testing::Test {
protected:
    bool start()
    {
        if (!server_.start())
            return false;
        setenv("PULSE_SERVER", server_.address().c_str(), 1);
        std::string why;
        backend = makeServerAudioBackend([this](const std::string& line) { warnings.push_back(line); }, why);
        return backend && backend->init(44100);
    }

    // A track started and heard for half a second, its playback held at
    // `gate` where there is one (the channel's first source serves the
    // spectrum; playback opens the next); false when that fails.
    bool playing(DecoderGate* gate = nullptr)
    {
        if (!start())
            return false;
        h = dynamic_cast<TrackBackend&>(*backend).openSource([this, gate, opened = 0](std::string&) mutable {
            return std::make_unique<CountingSource>(kLength, reads_, opened++ ? gate : nullptr);
        });
        backend->start();
        backend->play(h);
        return serviceUntil(10, [&] { return position() > 500.0; });
    }

    double position() const { return backend->positionMs(h); }

    // Services the output as the frame loop does until `done` holds, for at
    // most `seconds`; the position must never step back meanwhile.
    bool serviceUntil(double seconds, const std::function<bool()>& done)
    {
        return pollUntil(
            seconds,
            [&] {
                backend->serviceOutput();
                largestStepBackMs = std::max(largestStepBackMs, lastPositionMs - position());
                lastPositionMs = position();
                return done();
            },
            5);
    }

    // Whether the sink plays anything but silence over the next fifth of a second.
    bool sinkSounds()
    {
        const pa_sample_spec format {PA_SAMPLE_FLOAT32NE, 44100, 2};
        pa_simple* monitor = pa_simple_new(
            nullptr, "monitor", PA_STREAM_RECORD, "testnull.monitor", "monitor", &format, nullptr, nullptr, nullptr);
        if (!monitor)
            return false;
        std::vector<float> heard(44100 / 5 * 2);
        const bool read = pa_simple_read(monitor, heard.data(), heard.size() * sizeof(float), nullptr) >= 0;
        pa_simple_free(monitor);
        return read && std::any_of(heard.begin(), heard.end(), [](float v) { return v != 0.0f; });
    }

    void TearDown() override
    {
        if (backend)
            backend->release();
    }

    ScratchDir scratch_ {"server-backend"};
    PrivateSoundServer server_ {scratch_.path() / "pulse"};
    // Outlives the decoding thread, which may still be leaving it after the test's last step.
    DecoderGate gate;
    std::unique_ptr<AudioBackend> backend;
    AudioHandle h = 0;
    std::vector<std::string> warnings;
    double lastPositionMs = 0.0;
    double largestStepBackMs = 0.0;
    std::atomic<int> reads_ {0};
};

}  // namespace

// The server's thread only copies: a decoder stuck in its read leaves the
// stream playing silence and the position moving.
TEST_F(ServerBackend, APositionReadNeverWaitsOnTheDecoder)
{
    ASSERT_TRUE(playing(&gate)) << "no private sound server, or the position never moved";
    ASSERT_TRUE(gate.waitEntered());
    gate.open();
    EXPECT_FALSE(gate.forced()) << "a position read waited on the decoder";
}

// Killed and started again: the position runs on through the silence, and the
// new stream is placed where the show is when it is first heard, so the
// position neither steps back nor ends behind the steady clock. (This null
// sink, idle since it started, first plays out the two seconds of silence it
// rendered ahead: a new stream is heard up to two seconds after it is made.)
TEST_F(ServerBackend, AServerThatComesBackPlaysOnWhereTheShowIs)
{
    ASSERT_TRUE(playing()) << "no private sound server, or the music never played";
    const double heardBefore = position();
    const auto before = std::chrono::steady_clock::now();

    server_.kill();
    ASSERT_TRUE(serviceUntil(5, [&] { return warnings.size() == 1; })) << "the loss went unsaid";
    serviceUntil(0.5, [] { return false; });
    ASSERT_TRUE(server_.start());
    ASSERT_TRUE(serviceUntil(5, [&] { return warnings.size() == 2; })) << "the return went unsaid";
    serviceUntil(3, [] { return false; });

    EXPECT_NEAR(position() - heardBefore,
        (std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)).count(), 20.0);
    EXPECT_LT(largestStepBackMs, 10.0);
    EXPECT_TRUE(sinkSounds()) << "the music never came back";
}

// The stream plays on through a pause: the sink falls silent, the position
// stands, and a resume plays on from where it stood.
TEST_F(ServerBackend, APauseSilencesTheSinkAndTheResumePlaysOnFromThere)
{
    ASSERT_TRUE(playing()) << "no private sound server, or the music never played";
    backend->stop();
    const double paused = position();
    serviceUntil(0.3, [] { return false; });
    EXPECT_FALSE(sinkSounds()) << "the music played on through the pause";
    EXPECT_EQ(position(), paused);

    backend->start();
    ASSERT_TRUE(serviceUntil(5, [&] { return position() > paused + 200.0; })) << "the resume never played";
    EXPECT_LT(largestStepBackMs, 10.0);
    EXPECT_TRUE(sinkSounds()) << "the music did not come back";
}

// A server time believed is the frame it names, never past what was
// written; one below zero, wrapped by libpulse's unsigned time, is none.
TEST(StreamTime, IsBelievedUpToTheWrittenEndAndNotWhenItWrapped)
{
    EXPECT_EQ(streamFrameHeard(1'000'000, 44100, 100'000), 44100);
    EXPECT_EQ(streamFrameHeard(3'000'000, 44100, 100'000), 100'000);
    EXPECT_FALSE(streamFrameHeard(UINT64_MAX - 5'000'000, 44100, 100'000));
}
