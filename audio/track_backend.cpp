// Channels, mixing and queries shared by the device and offline back ends.
#include "audio/track_backend.h"

#include <cmath>

#include "audio/frequency_analysis.h"

AudioBackend::~AudioBackend() = default;

AudioHandle TrackBackend::openStream(const std::string& path) { return addChannel(mp3Opener(path, frequency_)); }

AudioHandle TrackBackend::openModule(const std::string& path) { return addChannel(moduleOpener(path, frequency_)); }

AudioHandle TrackBackend::addChannel(const TrackOpener& opener)
{
    std::unique_ptr<TrackSource> opened = opener(error_);
    if (!opened)
        return 0;
    error_.clear();
    auto channel = std::make_unique<TrackChannel>(std::move(opened), opener);
    lockChannels();
    channels_.push_back(std::move(channel));
    const auto handle = static_cast<AudioHandle>(channels_.size());
    unlockChannels();
    return handle;
}

TrackChannel* TrackBackend::find(AudioHandle handle) const
{
    if (handle == 0 || handle > channels_.size())
        return nullptr;
    return channels_[handle - 1].get();
}

void TrackBackend::setVolume(AudioHandle handle, float volume)
{
    if (TrackChannel* channel = find(handle))
        channel->volume.store(volume < 0.0f ? 0.0f : volume);
}

void TrackBackend::play(AudioHandle handle)
{
    TrackChannel* channel = find(handle);
    if (!channel || channel->playRequested.exchange(true))
        return;
    if (!startsInMixer())
        channel->startFrame.store(heardFrames());
}

void TrackBackend::seek(AudioHandle handle, double ms)
{
    TrackChannel* channel = find(handle);
    if (!channel)
        return;
    // The mixer must not see the new origin with the old start.
    lockChannels();
    if (channel->startFrame.load() >= 0)
        channel->startFrame.store(heardFrames());
    channel->originFrame.store(framesAt(ms));
    // The stream is decoded up to the new place now, not in the device's next
    // block, where the decoding of a long way would starve the output.
    if (startsInMixer()) {
        float frame[2];
        channel->playback.read(framesAt(ms), 1, frame);
    }
    unlockChannels();
}

int64_t TrackBackend::framesAt(double ms) const { return ms > 0.0 ? std::llround(ms * frequency_ / 1000.0) : 0; }

int64_t TrackBackend::channelFrame(const TrackChannel& channel) const
{
    const int64_t start = channel.startFrame.load();
    if (start < 0)
        return -1;
    const int64_t frame = heardFrames() - start + channel.originFrame.load();
    return frame > 0 ? frame : 0;
}

void TrackBackend::spectrum(AudioHandle handle, float out[1024])
{
    TrackChannel* channel = find(handle);
    if (!channel)
        return;
    const int64_t frame = channelFrame(*channel);
    // Before the start the window lies wholly before the track: silence.
    spectrumEndingAt(*channel, frame < 0 ? 0 : frame, out);
}

void TrackBackend::spectrumAt(AudioHandle handle, double ms, float out[1024])
{
    if (TrackChannel* channel = find(handle))
        spectrumEndingAt(*channel, framesAt(ms), out);
}

void TrackBackend::spectrumEndingAt(TrackChannel& channel, int64_t endFrame, float out[1024])
{
    float window[kSpectrumWindow * 2];
    channel.analysis.read(endFrame - kSpectrumWindow, kSpectrumWindow, window);
    computeSpectrumOfWindow(window, out);
}

double TrackBackend::positionMs(AudioHandle handle) const
{
    const TrackChannel* channel = find(handle);
    if (!channel)
        return 0.0;
    const int64_t frame = channelFrame(*channel);
    return frame <= 0 ? 0.0 : static_cast<double>(frame) * 1000.0 / frequency_;
}

std::unique_ptr<TrackWindow> TrackBackend::openTrack(AudioHandle handle) const
{
    const TrackChannel* channel = find(handle);
    return channel ? std::make_unique<TrackWindow>(nullptr, channel->open) : nullptr;
}

void TrackBackend::mixInto(float* out, int frames, int64_t outputFrame)
{
    for (auto& channel : channels_) {
        if (!channel->playRequested.load())
            continue;
        int64_t start = channel->startFrame.load();
        if (start < 0) {
            start = outputFrame;
            channel->startFrame.store(start);
        }
        const int64_t origin = channel->originFrame.load();
        const float volume = channel->volume.load();
        mixed_.resize(static_cast<size_t>(frames) * 2);
        channel->playback.read(outputFrame - start + origin, static_cast<size_t>(frames), mixed_.data());
        for (size_t i = 0; i < mixed_.size(); ++i)
            out[i] += mixed_[i] * volume;
    }
}

void TrackBackend::releaseChannels()
{
    lockChannels();
    channels_.clear();
    unlockChannels();
}

bool TrackBackend::restartAt(int frequency)
{
    if (frequency <= 0) {
        error_ = "cannot start audio at " + std::to_string(frequency) + " Hz";
        return false;
    }
    release();
    frequency_ = frequency;
    error_.clear();
    return true;
}
