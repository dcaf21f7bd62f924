// An audio back end that opens everything as channel 1 and does nothing else; tests override what they watch.
#pragma once

#include <string>

#include "audio/audio_backend.h"

class FakeAudioBackend : public AudioBackend {
public:
    bool init(int) override { return true; }
    AudioHandle openStream(const std::string&) override { return 1; }
    AudioHandle openModule(const std::string&) override { return 1; }
    void setVolume(AudioHandle, float) override { }
    void start() override { }
    void play(AudioHandle) override { }
    void spectrum(AudioHandle, float*) override { }
    void seek(AudioHandle, double) override { }
    void spectrumAt(AudioHandle, double, float*) override { }
    void stop() override { }
    void release() override { }
    double positionMs(AudioHandle) const override { return 0.0; }
    std::unique_ptr<TrackWindow> openTrack(AudioHandle) const override { return nullptr; }
    int sampleRate() const override { return 44100; }
    const std::string& lastError() const override { return error; }

    std::string error;
};
