// SDL2 audio output. The callback mixes the channels, decoded ahead by the
// decoding thread; the main thread's position is what has left the device's
// buffer, estimated from the time of the latest callback. Without a usable device the back end keeps a
// silent output whose clock is the system's steady clock.
#include <SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

#include "audio/track_backend.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kDeviceBufferFrames = 1024;

// While SDL probes the output drivers, ALSA would print its own diagnostics
// for every missing card; our one warning line already carries SDL's reason.
// The library is reached through dlopen so that machines without it still work.
class QuietAlsaProbe {
public:
    QuietAlsaProbe()
        : library_(dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL))
    {
        if (library_)
            setHandler_ = reinterpret_cast<SetHandler>(dlsym(library_, "snd_lib_error_set_handler"));
        if (setHandler_)
            setHandler_(&ignore);
    }
    ~QuietAlsaProbe()
    {
        if (setHandler_)
            setHandler_(nullptr);
        if (library_)
            dlclose(library_);
    }
    QuietAlsaProbe(const QuietAlsaProbe&) = delete;
    QuietAlsaProbe& operator=(const QuietAlsaProbe&) = delete;

private:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    static void ignore(const char*, int, const char*, int, const char*, ...) { }

    void* library_;
    SetHandler setHandler_ = nullptr;
};

int64_t nanosecondsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

class DeviceAudioBackend final : public TrackBackend {
public:
    explicit DeviceAudioBackend(AudioWarningSink warn)
        : warn_(std::move(warn))
    {
    }
    ~DeviceAudioBackend() override { release(); }

    bool init(int frequency) override;
    void start() override;
    void stop() override;
    void release() override;

protected:
    int64_t heardFrames() const override;
    bool startsInMixer() const override { return device_ != 0; }
    // Position reads never take the device's lock, so a callback that finds
    // the decoding thread behind (SDL's disk driver runs faster than real
    // time) may decode what it needs rather than play silence.
    bool decodesWhenBehind() const override { return true; }
    void lockChannels() override
    {
        if (device_ != 0)
            SDL_LockAudioDevice(device_);
    }
    void unlockChannels() override
    {
        if (device_ != 0)
            SDL_UnlockAudioDevice(device_);
    }

private:
    static void callback(void* self, Uint8* stream, int bytes);
    void render(float* out, int frames);
    bool openDevice(std::string& why);
    int64_t silentHeardFrames(int64_t nowNs) const;
    int64_t deviceHeardFrames(int64_t nowNs) const;

    AudioWarningSink warn_;
    bool subsystemStarted_ = false;
    SDL_AudioDeviceID device_ = 0;
    int latencyFrames_ = kDeviceBufferFrames;
    bool running_ = false;

    // Written by the callback, read by the main thread.
    mutable std::mutex clockMutex_;
    int64_t handedFrames_ = 0;  // frames given to the device before the latest block
    int64_t blockFrames_ = 0;   // size of the latest block
    int64_t blockTimeNs_ = -1;  // when the latest block was asked for

    // Silent output: heard frames = base + elapsed time since startNs_.
    int64_t silentBaseFrames_ = 0;
    int64_t silentStartNs_ = 0;

    // The clock only moves forward, however callback timing jitters.
    mutable int64_t lastHeard_ = 0;
    int64_t frozenHeard_ = 0;
};

bool DeviceAudioBackend::init(int frequency)
{
    if (!restartAt(frequency))
        return false;
    std::string why;
    if (openDevice(why))
        startDecoding();
    else
        warn_("no audio output (" + why + "); the show runs silently");
    return true;
}

bool DeviceAudioBackend::openDevice(std::string& why)
{
    const QuietAlsaProbe quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
        return false;
    }
    subsystemStarted_ = true;
    SDL_AudioSpec want {};
    want.freq = frequency_;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kDeviceBufferFrames;
    want.callback = &DeviceAudioBackend::callback;
    want.userdata = this;
    SDL_AudioSpec have {};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted_ = false;
        return false;
    }
    latencyFrames_ = have.samples > 0 ? have.samples : kDeviceBufferFrames;
    return true;
}

void DeviceAudioBackend::callback(void* self, Uint8* stream, int bytes)
{
    static_cast<DeviceAudioBackend*>(self)->render(
        reinterpret_cast<float*>(stream), bytes / static_cast<int>(2 * sizeof(float)));
}

void DeviceAudioBackend::render(float* out, int frames)
{
    std::memset(out, 0, static_cast<size_t>(frames) * 2 * sizeof(float));
    int64_t outputFrame;
    {
        std::lock_guard<std::mutex> lock(clockMutex_);
        handedFrames_ += blockFrames_;
        outputFrame = handedFrames_;
        blockFrames_ = frames;
        blockTimeNs_ = nanosecondsNow();
    }
    mixInto(out, frames, outputFrame);
}

// The block asked for at blockTimeNs_ is heard once the device has played the
// blocks it still holds (one buffer's worth), then at the output rate. A late
// callback lets the estimate run on into the buffered frames, never past what
// the device has been given.
int64_t DeviceAudioBackend::deviceHeardFrames(int64_t nowNs) const
{
    std::lock_guard<std::mutex> lock(clockMutex_);
    if (blockTimeNs_ < 0)
        return 0;
    const double elapsedFrames = static_cast<double>(nowNs - blockTimeNs_) * 1e-9 * frequency_;
    const int64_t estimate = handedFrames_ - latencyFrames_ + static_cast<int64_t>(elapsedFrames);
    const int64_t ceiling = handedFrames_ + blockFrames_;
    return estimate < ceiling ? estimate : ceiling;
}

int64_t DeviceAudioBackend::silentHeardFrames(int64_t nowNs) const
{
    const double elapsedFrames = static_cast<double>(nowNs - silentStartNs_) * 1e-9 * frequency_;
    return silentBaseFrames_ + static_cast<int64_t>(elapsedFrames);
}

int64_t DeviceAudioBackend::heardFrames() const
{
    if (!running_)
        return frozenHeard_;
    const int64_t now = nanosecondsNow();
    const int64_t heard = device_ != 0 ? deviceHeardFrames(now) : silentHeardFrames(now);
    if (heard > lastHeard_)
        lastHeard_ = heard;
    return lastHeard_;
}

void DeviceAudioBackend::start()
{
    if (running_)
        return;
    if (device_ != 0) {
        // After a pause the latest block's time is stale: hold the position
        // where it stopped until the device asks for the next block.
        {
            std::lock_guard<std::mutex> lock(clockMutex_);
            blockTimeNs_ = -1;
        }
        SDL_PauseAudioDevice(device_, 0);
    } else {
        silentBaseFrames_ = frozenHeard_;
        silentStartNs_ = nanosecondsNow();
    }
    running_ = true;
}

void DeviceAudioBackend::stop()
{
    if (!running_)
        return;
    frozenHeard_ = heardFrames();
    running_ = false;
    if (device_ != 0)
        SDL_PauseAudioDevice(device_, 1);
}

void DeviceAudioBackend::release()
{
    stop();
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted_ = false;
    }
    releaseChannels();
    handedFrames_ = blockFrames_ = 0;
    blockTimeNs_ = -1;
    silentBaseFrames_ = frozenHeard_ = lastHeard_ = 0;
}

}  // namespace

std::unique_ptr<AudioBackend> makeDeviceAudioBackend(AudioWarningSink warn)
{
    return std::make_unique<DeviceAudioBackend>(std::move(warn));
}
