// Common core of the back ends that decode their music: channels streaming a
// track, their volume and start time, mixing, and the position and spectrum
// queries. A concrete back end supplies only its output clock
// (how many output frames have been heard) and, if it has a mixing thread,
// the lock that keeps the channel list steady while it is changed. A back end
// that plays calls startDecoding(): a thread of its own then decodes each
// channel ahead of its playback, and the mixing thread only copies.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/read_ahead.h"
#include "audio/track_source.h"

struct TrackChannel {
    TrackChannel(std::unique_ptr<TrackSource> opened, TrackOpener opener)
        : open(opener)
        , analysis(std::move(opened), opener)
        , playback(opener)
    {
    }

    TrackOpener open;
    TrackWindow analysis;  // read by the spectrum queries, on the main thread
    ReadAhead playback;    // copied by the mixing thread
    std::atomic<float> volume {1.0f};
    std::atomic<bool> playRequested {false};
    // Output frame at which channel frame originFrame is heard; -1 until started.
    std::atomic<int64_t> startFrame {-1};
    std::atomic<int64_t> originFrame {0};
};

class TrackBackend : public AudioBackend {
public:
    ~TrackBackend() override;

    AudioHandle openStream(const std::string& path) override;
    AudioHandle openModule(const std::string& path) override;
    // A channel on any source (music made by a test or a tool), as openStream.
    AudioHandle openSource(const TrackOpener& opener);
    void setVolume(AudioHandle handle, float volume) override;
    void play(AudioHandle handle) override;
    void seek(AudioHandle handle, double ms) override;
    void spectrum(AudioHandle handle, float out[1024]) override;
    void spectrumAt(AudioHandle handle, double ms, float out[1024]) override;
    double positionMs(AudioHandle handle) const override;
    std::unique_ptr<TrackWindow> openTrack(AudioHandle handle) const override;
    int sampleRate() const override { return frequency_; }
    const std::string& lastError() const override { return error_; }

protected:
    // Output frames heard so far. It may step back by a few ms when a sound
    // server corrects its timing, never further.
    virtual int64_t heardFrames() const = 0;
    // Whether play() starts a channel at once (at heardFrames()) or leaves it
    // to the mixing thread to start at the next block it renders.
    virtual bool startsInMixer() const { return false; }
    virtual void lockChannels() { }
    virtual void unlockChannels() { }
    // Whether the mixing thread decodes what the decoding thread has not
    // decoded yet, rather than play silence there. Only an output whose lock
    // no position read waits on may.
    virtual bool decodesWhenBehind() const { return false; }

    // Starts the thread that decodes every channel ahead of its playback.
    void startDecoding();
    // Adds every playing channel's frames [outputFrame, outputFrame + frames)
    // to `out` (interleaved stereo), scaled by its volume. Channels waiting to
    // start begin at `outputFrame`. Called by the mixing thread.
    void mixInto(float* out, int frames, int64_t outputFrame);
    // Decodes now, on the calling thread, the first frames every started
    // channel plays from output frame `outputFrame` on, so that what is
    // mixed from there next is ready. Call it without the channels' lock.
    void prepareMixAt(int64_t outputFrame);
    // The output or channel frame at `ms` (0 for negative times).
    int64_t framesAt(double ms) const;
    // The spectrum of the 2048 channel frames before `endFrame`.
    static void spectrumEndingAt(TrackChannel& channel, int64_t endFrame, float out[1024]);
    // Channel frame heard now, or -1 when the channel has not started.
    int64_t channelFrame(const TrackChannel& channel) const;
    TrackChannel* find(AudioHandle handle) const;
    void releaseChannels();
    // The start of every init(): refuses a rate that is not positive (false,
    // with lastError() set), else releases everything and adopts `frequency`.
    bool restartAt(int frequency);

    int frequency_ = 44100;
    std::string error_;

private:
    AudioHandle addChannel(const TrackOpener& opener);
    void decodeAhead();
    void stopDecoding();

    std::vector<float> mixed_;  // the mixing thread's block of one channel

    // Changed only by the main thread, under the channels' lock and decoding_.
    std::vector<std::unique_ptr<TrackChannel>> channels_;

    // Held while a channel decodes ahead: by the decoding thread, and by
    // whoever prepares a channel for a jump.
    std::mutex decoding_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::thread decoder_;
};
