// A back end that opens nothing and plays nothing, for tests without music.

#include "audio/audio_backend.h"
#include "audio/track_file.h"

namespace {

class NullAudioBackend final : public AudioBackend {
public:
    bool init(int frequency) override
    {
        frequency_ = frequency;
        return true;
    }
    AudioHandle openStream(const std::string& path) override { return open(path); }
    AudioHandle openModule(const std::string& path) override { return open(path); }
    void setVolume(AudioHandle, float) override { }
    void start() override { }
    void play(AudioHandle) override { }
    void seek(AudioHandle, double) override { }
    void spectrumAt(AudioHandle handle, double, float out[1024]) override { spectrum(handle, out); }
    void spectrum(AudioHandle handle, float out[1024]) override
    {
        if (handle == 0 || handle > opened_)
            return;
        for (int k = 0; k < 1024; ++k)
            out[k] = 0.0f;
    }
    void stop() override { }
    void release() override { opened_ = 0; }
    double positionMs(AudioHandle) const override { return 0.0; }
    std::unique_ptr<TrackWindow> openTrack(AudioHandle) const override { return nullptr; }
    int sampleRate() const override { return frequency_; }
    const std::string& lastError() const override { return error_; }

private:
    AudioHandle open(const std::string& path)
    {
        if (!checkTrackFile(path, error_))
            return 0;
        error_.clear();
        return ++opened_;
    }

    AudioHandle opened_ = 0;
    int frequency_ = 44100;
    std::string error_;
};

}  // namespace

std::unique_ptr<AudioBackend> makeNullAudioBackend() { return std::make_unique<NullAudioBackend>(); }
