// Channels, mixing and queries shared by the device and offline back ends.
#include "audio/track_backend.h"

#include <chrono>
#include <cmath>

#include "audio/frequency_analysis.h"

namespace {

// How often a decoding thread that is far enough ahead looks again; the
// output reads a step's worth in about a tenth of a second.
constexpr std::chrono::milliseconds kDecodeIdle {20};

}  // namespace

AudioBackend::~AudioBackend() = default;

TrackBackend::~TrackBackend() { stopDecoding(); }

AudioHandle TrackBackend::openStream(const std::string& path) { return addChannel(mp3Opener(path, frequency_)); }

AudioHandle TrackBackend::openModule(const std::string& path) { return addChannel(moduleOpener(path, frequency_)); }

AudioHandle TrackBackend::openSource(const TrackOpener& opener) { return addChannel(opener); }

AudioHandle TrackBackend::addChannel(const TrackOpener& opener)
{
    std::unique_ptr<TrackSource> opened = opener(error_);
    if (!opened)
        return 0;
    error_.clear();
    auto channel = std::make_unique<TrackChannel>(std::move(opened), opener);
    lockChannels();
    {
        const std::lock_guard<std::mutex> lock(decoding_);
        channels_.push_back(std::move(channel));
    }
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
    const int64_t origin = framesAt(ms);
    // The mixer must not see the new origin with the old start.
    lockChannels();
    if (channel->startFrame.load() >= 0)
        channel->startFrame.store(heardFrames());
    channel->originFrame.store(origin);
    unlockChannels();
    // The new place is decoded here and now, outside the output's lock: the
    // decoding thread would get there only after the mixer had asked for it.
    // A block mixed meanwhile reads silence there, which a server's rewrite
    // of its queue replaces.
    if (decoder_.joinable()) {
        const std::lock_guard<std::mutex> lock(decoding_);
        channel->playback.prepare(origin);
    }
}

void TrackBackend::prepareMixAt(int64_t outputFrame)
{
    const std::lock_guard<std::mutex> lock(decoding_);
    for (auto& channel : channels_) {
        const int64_t start = channel->startFrame.load();
        if (channel->playRequested.load() && start >= 0)
            channel->playback.prepare(outputFrame - start + channel->originFrame.load());
    }
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
        const int64_t first = outputFrame - start + channel->originFrame.load();
        const float volume = channel->volume.load();
        const auto count = static_cast<size_t>(frames);
        mixed_.resize(count * 2);
        if (channel->playback.copy(first, count, mixed_.data()) < count && decodesWhenBehind()) {
            const std::lock_guard<std::mutex> lock(decoding_);
            channel->playback.prepare(first, frames);
            channel->playback.copy(first, count, mixed_.data());
        }
        for (size_t i = 0; i < mixed_.size(); ++i)
            out[i] += mixed_[i] * volume;
    }
}

void TrackBackend::releaseChannels()
{
    lockChannels();
    {
        const std::lock_guard<std::mutex> lock(decoding_);
        channels_.clear();
    }
    unlockChannels();
}

void TrackBackend::startDecoding()
{
    if (decoder_.joinable())
        return;
    quit_ = false;
    decoder_ = std::thread(&TrackBackend::decodeAhead, this);
}

void TrackBackend::stopDecoding()
{
    if (!decoder_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(decoding_);
        quit_ = true;
    }
    wake_.notify_all();
    decoder_.join();
}

// The decoding thread: every channel a step at a time, so that none waits
// for another to fill; when all are far enough ahead, it looks again later.
void TrackBackend::decodeAhead()
{
    std::unique_lock<std::mutex> lock(decoding_);
    while (!quit_) {
        bool stepped = false;
        for (auto& channel : channels_)
            stepped = channel->playback.decodeStep() || stepped;
        if (stepped) {
            // Between steps a jump's prepare may take its turn.
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
        } else {
            wake_.wait_for(lock, kDecodeIdle);
        }
    }
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
