// Output without a device: the caller sets the clock, for capture frame by frame.
#include <cmath>

#include "audio/track_backend.h"

namespace {

class OfflineBackend final : public OfflineAudioBackend {
public:
    bool init(int frequency) override;
    AudioHandle openStream(const std::string& path) override { return tracks_.openStream(path); }
    AudioHandle openModule(const std::string& path) override { return tracks_.openModule(path); }
    void setVolume(AudioHandle handle, float volume) override { tracks_.setVolume(handle, volume); }
    void start() override { }
    void play(AudioHandle handle) override { tracks_.play(handle); }
    void seek(AudioHandle handle, double ms) override { tracks_.seek(handle, ms); }
    void spectrum(AudioHandle handle, float out[1024]) override { tracks_.spectrum(handle, out); }
    void spectrumAt(AudioHandle handle, double ms, float out[1024]) override { tracks_.spectrumAt(handle, ms, out); }
    void stop() override { }
    void release() override { tracks_.release(); }
    double positionMs(AudioHandle handle) const override { return tracks_.positionMs(handle); }
    std::unique_ptr<TrackWindow> openTrack(AudioHandle handle) const override { return tracks_.openTrack(handle); }
    int sampleRate() const override { return tracks_.sampleRate(); }
    const std::string& lastError() const override { return tracks_.lastError(); }
    void setPositionMs(double ms) override { tracks_.setPositionMs(ms); }

private:
    // The channel machinery, clocked by the position the caller sets.
    class Tracks final : public TrackBackend {
    public:
        bool init(int frequency) override { return restartAt(frequency); }
        void start() override { }
        void stop() override { }
        void release() override
        {
            releaseChannels();
            heard_ = 0;
        }
        void setPositionMs(double ms) { heard_ = ms > 0.0 ? std::llround(ms * frequency_ / 1000.0) : 0; }

    protected:
        int64_t heardFrames() const override { return heard_; }

    private:
        int64_t heard_ = 0;
    };

    Tracks tracks_;
};

bool OfflineBackend::init(int frequency) { return tracks_.init(frequency); }

}  // namespace

std::unique_ptr<OfflineAudioBackend> makeOfflineAudioBackend() { return std::make_unique<OfflineBackend>(); }
