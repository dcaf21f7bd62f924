// Output through a sound server that speaks the PulseAudio protocol:
// PulseAudio itself, or PipeWire's PulseAudio service.
//
// What it adds to the SDL output:
//   - the heard position is the server's own: the stream's time (read index
//     less the sink's latency, interpolated between the server's timing
//     updates), so the picture follows what leaves the speakers, not what
//     left our buffer;
//   - a lost server (killed, restarted) is said once, the position runs on by
//     the steady clock, and a new connection is tried every half second; the
//     music comes back where the show is when it is first heard, and that is
//     said once too.
// The server's thread (libpulse's threaded main loop) pulls the mix through
// the stream's write callback; the loop's lock is the channels' lock. The
// callback only copies what the decoding thread decoded ahead, so a position
// read, which takes the same lock, never waits on a decode.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "audio/pulse_loop_lock.h"
#include "audio/stream_time.h"
#include "audio/track_backend.h"

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int64_t kRetryNs = 500'000'000;
constexpr int64_t kAttemptTimeoutNs = 2'000'000'000;
// What the server keeps queued for us: enough to ride out a loaded machine.
// It costs no delay on a seek (what is queued is written again from the new
// place), but it is not free in sync: measured at a null sink, 80 ms put the
// picture 6 to 10 ms further behind the sound than 50 ms does, which is what a
// plain player asks of the server and where the meter finds such a player.
constexpr int kBufferMs = 50;
constexpr size_t kFrameBytes = 2 * sizeof(float);
constexpr int64_t kTimingEveryNs = 100'000'000;

int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class ServerAudioBackend final : public TrackBackend {
public:
    explicit ServerAudioBackend(AudioWarningSink warn)
        : warn_(std::move(warn))
    {
    }
    ~ServerAudioBackend() override;

    // Reaches the server within two seconds; false with `why` set when there is none.
    bool connect(std::string& why);

    bool init(int frequency) override;
    void start() override;
    void stop() override;
    void release() override;
    void serviceOutput() override;
    void seek(AudioHandle handle, double ms) override;

protected:
    int64_t heardFrames() const override;
    bool startsInMixer() const override { return live_ && placed_; }
    void lockChannels() override;
    void unlockChannels() override;

private:
    using Lock = PulseLoopLock;

    bool beginConnect();
    bool beginStream(bool joinsShow);
    bool waitFor(const std::function<bool()>& settled) const;
    // Both with the loop's lock held (or the loop stopped).
    void dropStream();
    void dropConnection();
    void goSilent(const std::string& why);
    void goLive();
    void joinShow();
    void fill(size_t bytes);
    void writeMix(int64_t frames, pa_seek_mode_t mode);
    void rewriteFrom(int64_t streamFrame);  // with the loop's lock held
    void cork(bool corked);  // likewise
    void askForTiming(int64_t now);  // likewise
    void timingArrived(pa_stream* stream, int success);  // on the server's thread
    int64_t silentFrames(int64_t nowNs) const;
    std::string contextError() const;

    AudioWarningSink warn_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;

    bool running_ = false;
    bool live_ = false;         // the stream plays; else the silent steady clock runs
    // The stream's frames are placed among the output's (base_ is known), and
    // it plays the music. A stream made while the show ran plays silence, and
    // the silent clock goes on, until the server's timing places it.
    bool placed_ = false;
    bool lostSaid_ = false;     // the loss was reported; its end will be
    int64_t nextAttemptNs_ = 0;
    int64_t lastTimingNs_ = 0;
    int64_t attemptStartNs_ = 0;
    // Timing updates asked for and not answered, how many of those were
    // asked before the stream was last corked or started, and whether one
    // asked since says the stream plays. The server's thread writes them.
    int timingsAsked_ = 0;
    int staleTimings_ = 0;
    bool playsNow_ = false;

    // Output frame numbers run on across streams: the current stream's frame 0 is base_.
    int64_t base_ = 0;
    int64_t written_ = 0;  // frames given to the current stream; the server's thread writes it
    // Silent output: heard = silentBase_ + steady time since silentStartNs_.
    int64_t silentBase_ = 0;
    int64_t silentStartNs_ = 0;
    int64_t frozen_ = 0;  // heard frames while stopped
    mutable int64_t lastHeard_ = 0;
    mutable int64_t lastHeardNs_ = 0;  // the steady time lastHeard_ was heard at
};

ServerAudioBackend::~ServerAudioBackend()
{
    release();
    if (loop_) {
        pa_threaded_mainloop_stop(loop_);
        dropConnection();
        pa_threaded_mainloop_free(loop_);
    }
}

bool ServerAudioBackend::connect(std::string& why)
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        why = "cannot start the sound server's thread";
        return false;
    }
    if (!beginConnect()) {
        why = contextError();
        return false;
    }
    waitFor([this] {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    Lock lock(loop_);
    if (pa_context_get_state(context_) == PA_CONTEXT_READY)
        return true;
    why = contextError();
    return false;
}

// Starts connecting without waiting. False when the attempt fails at once.
bool ServerAudioBackend::beginConnect()
{
    Lock lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "brindle");
    if (!context_)
        return false;
    attemptStartNs_ = steadyNs();
    // Never start a server of our own: the user's session decides whether one runs.
    return pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

std::string ServerAudioBackend::contextError() const
{
    if (!context_)
        return "no sound server";
    return pa_strerror(pa_context_errno(context_));
}

bool ServerAudioBackend::waitFor(const std::function<bool()>& settled) const
{
    for (int waited = 0; waited < kConnectTimeoutMs; waited += 2) {
        {
            Lock lock(loop_);
            if (settled())
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Opens a corked stream at the back end's rate; the server asks for its first
// buffer at once, which is silence until a channel plays. The show's first
// stream starts where the show stands (its frame 0 is frozen_), and its
// position stands until the server plays it. One that `joinsShow` (made after
// a lost server) is placed once the server's timing says which of its frames
// is heard when: connecting, prebuffering and the sink's latency cannot be
// known before, and music written from a guess would step back or skip when
// the guess was put right.
bool ServerAudioBackend::beginStream(bool joinsShow)
{
    Lock lock(loop_);
    base_ = frozen_;
    placed_ = !joinsShow;
    const pa_sample_spec format {PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(frequency_), 2};
    stream_ = pa_stream_new(context_, "music", &format, nullptr);
    if (!stream_)
        return false;
    pa_stream_set_write_callback(
        stream_, [](pa_stream*, size_t bytes, void* self) { static_cast<ServerAudioBackend*>(self)->fill(bytes); },
        this);
    const uint32_t any = static_cast<uint32_t>(-1);
    const pa_buffer_attr buffer {any, static_cast<uint32_t>(frequency_ * kBufferMs / 1000 * kFrameBytes), any, any, any};
    // Not held monotonic: when an interpolated time ran ahead of a server
    // that fell behind (PipeWire's graph on a loaded machine), the next update
    // takes it back at once instead of holding it until real time catches up.
    // The clock slews over such steps, so the picture never runs backwards.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING
        | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY | PA_STREAM_NOT_MONOTONIC);
    written_ = 0;
    return pa_stream_connect_playback(stream_, nullptr, &buffer, flags, nullptr, nullptr) >= 0;
}

// On the server's thread, with the loop's lock held.
// The server asks for data right after its period took some: timing asked
// then is as fresh as it can give (see askForTiming).
void ServerAudioBackend::fill(size_t bytes)
{
    writeMix(static_cast<int64_t>(bytes / kFrameBytes), PA_SEEK_RELATIVE);
    if (timingsAsked_ == 0)
        askForTiming(steadyNs());
}

// Mixes the next `frames` output frames into the stream, the first write
// placed by `mode` (relative: after what was written; absolute: at written_).
void ServerAudioBackend::writeMix(int64_t frames, pa_seek_mode_t mode)
{
    while (frames > 0) {
        void* data = nullptr;
        size_t size = static_cast<size_t>(frames) * kFrameBytes;
        if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data)
            return;
        size = std::min(size, static_cast<size_t>(frames) * kFrameBytes) / kFrameBytes * kFrameBytes;
        const auto count = static_cast<int>(size / kFrameBytes);
        std::memset(data, 0, size);
        if (placed_)
            mixInto(static_cast<float*>(data), count, base_ + written_);
        const auto offset = mode == PA_SEEK_ABSOLUTE ? static_cast<int64_t>(written_ * kFrameBytes) : 0;
        if (pa_stream_write(stream_, data, size, nullptr, offset, mode) < 0)
            return;
        mode = PA_SEEK_RELATIVE;
        written_ += count;
        frames -= count;
    }
}

// What the server holds but has not played is from the old place: it is
// written again from the frame heard now, so the new place is heard at once.
// A paused stream is rewritten too, or resuming would first play the old place.
void ServerAudioBackend::seek(AudioHandle handle, double ms)
{
    TrackBackend::seek(handle, ms);
    if (!live_ || !placed_)
        return;
    Lock lock(loop_);
    rewriteFrom(heardFrames() - base_);
}

// What the server holds from stream frame `streamFrame` on is written again
// with the mix as it is now. The part the sink has taken already the server
// takes back (PulseAudio rewinds the sink); a server that cannot plays that
// part as it was, and the rest from where it belongs.
void ServerAudioBackend::rewriteFrom(int64_t streamFrame)
{
    if (streamFrame < 0 || streamFrame >= written_)
        return;
    const int64_t queued = written_ - streamFrame;
    written_ = streamFrame;
    writeMix(queued, PA_SEEK_ABSOLUTE);
}

void ServerAudioBackend::dropStream()
{
    if (!stream_)
        return;
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    // Its timing requests are cancelled with it: none will be answered.
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    timingsAsked_ = staleTimings_ = 0;
    playsNow_ = false;
}

void ServerAudioBackend::dropConnection()
{
    dropStream();
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
}

bool ServerAudioBackend::init(int frequency)
{
    if (!restartAt(frequency))
        return false;
    startDecoding();
    // Without a connection the show starts silent; serviceOutput() reconnects.
    if (!context_ || !beginStream(false)) {
        goSilent(contextError());
        return true;
    }
    const bool answered = waitFor([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
    bool ready;
    {
        Lock lock(loop_);
        ready = pa_stream_get_state(stream_) == PA_STREAM_READY;
    }
    if (ready)
        goLive();
    else
        goSilent(answered ? contextError() : "the sound server did not answer");
    return true;
}

// The stream plays from here on. Until the server starts it, its position
// stands where the silent clock left it.
void ServerAudioBackend::goLive()
{
    {
        Lock lock(loop_);
        if (running_)
            cork(false);
    }
    live_ = true;
    if (lostSaid_) {
        lostSaid_ = false;
        warn_("the sound server is back; the music plays on");
    }
}

// No server: heard frames run on by the steady clock from where they were
// last heard, and a new connection is tried later.
void ServerAudioBackend::goSilent(const std::string& why)
{
    {
        Lock lock(loop_);
        dropConnection();
    }
    const int64_t now = steadyNs();
    silentBase_ = running_ ? lastHeard_ : frozen_;
    silentStartNs_ = running_ ? lastHeardNs_ : now;
    live_ = placed_ = false;
    nextAttemptNs_ = now + kRetryNs;
    if (!lostSaid_) {
        lostSaid_ = true;
        warn_("lost the sound server (" + why + "); the show goes on silently until it is back");
    }
}

void ServerAudioBackend::serviceOutput()
{
    if (!loop_)
        return;
    const int64_t now = steadyNs();
    if (live_) {
        std::string why;
        bool placeable = false;
        {
            Lock lock(loop_);
            if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
                why = contextError();
            } else if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
                why = "the stream ended";
            } else if (!placed_ && running_) {
                // Asked for again as soon as answered: each answer may be the
                // first to find the stream playing.
                placeable = playsNow_;
                if (!placeable && timingsAsked_ == 0)
                    askForTiming(now);
            } else if (now - lastTimingNs_ > kTimingEveryNs) {
                askForTiming(now);
            }
        }
        if (!why.empty()) {
            // Brings the position up to now, running on from what was heard last.
            heardFrames();
            goSilent(why);
        } else if (placeable) {
            joinShow();
        }
        return;
    }
    if (!context_) {
        if (now >= nextAttemptNs_ && !beginConnect()) {
            Lock lock(loop_);
            dropConnection();
            nextAttemptNs_ = now + kRetryNs;
        }
        return;
    }
    pa_context_state_t contextState;
    pa_stream_state_t streamState = PA_STREAM_UNCONNECTED;
    {
        Lock lock(loop_);
        contextState = pa_context_get_state(context_);
        if (stream_)
            streamState = pa_stream_get_state(stream_);
    }
    const bool failed = !PA_CONTEXT_IS_GOOD(contextState) || streamState == PA_STREAM_FAILED
        || streamState == PA_STREAM_TERMINATED || now - attemptStartNs_ > kAttemptTimeoutNs;
    if (failed) {
        Lock lock(loop_);
        dropConnection();
        nextAttemptNs_ = now + kRetryNs;
    } else if (contextState == PA_CONTEXT_READY && !stream_) {
        if (!beginStream(true)) {
            Lock lock(loop_);
            dropConnection();
            nextAttemptNs_ = now + kRetryNs;
        }
    } else if (streamState == PA_STREAM_READY) {
        goLive();
    }
}

// The stream plays silence and the silent clock runs on: the frame the
// server plays now becomes the show's position now, and the music is written
// from there over the silence the server holds, so it is first heard where the
// picture is. The silent clock and the server's clock are read together, under
// the lock; the frames are decoded before, outside it.
void ServerAudioBackend::joinShow()
{
    prepareMixAt(silentFrames(steadyNs()));
    Lock lock(loop_);
    pa_usec_t usec = 0;
    if (pa_stream_get_time(stream_, &usec) < 0)
        return;
    const std::optional<int64_t> heard = streamFrameHeard(usec, frequency_, written_);
    if (!heard)
        return;
    const int64_t now = steadyNs();
    base_ = silentFrames(now) - *heard;
    placed_ = true;
    lastHeard_ = base_ + *heard;
    lastHeardNs_ = now;
    rewriteFrom(*heard);
}

// Timing that was asked for before a cork or an uncork may describe the
// stream as it was: only answers to later requests count.
void ServerAudioBackend::cork(bool corked)
{
    if (pa_operation* operation = pa_stream_cork(stream_, corked ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(operation);
    staleTimings_ = timingsAsked_;
    playsNow_ = false;
}

// libpulse asks for the server's timing less and less often (seconds apart in
// a long stream) and interpolates by the local clock between; a server whose
// rate is a little off (PipeWire resampling to its graph) then drifts by
// milliseconds a second. And an answer's values are those of the server's
// last period, stamped when it was sent (PipeWire's PulseAudio service): the
// time interpolated from it is late by however far into the period it was
// asked, up to a period (23 ms at 1024 frames). So timing is asked after
// every fill, right after a period, and at least every tenth of a second.
void ServerAudioBackend::askForTiming(int64_t now)
{
    lastTimingNs_ = now;
    const auto arrived = [](pa_stream* stream, int success, void* self) {
        static_cast<ServerAudioBackend*>(self)->timingArrived(stream, success);
    };
    if (pa_operation* operation = pa_stream_update_timing_info(stream_, arrived, this)) {
        ++timingsAsked_;
        pa_operation_unref(operation);
    }
}

void ServerAudioBackend::timingArrived(pa_stream* stream, int success)
{
    if (stream != stream_)
        return;
    timingsAsked_ = std::max(0, timingsAsked_ - 1);
    if (staleTimings_ > 0) {
        --staleTimings_;
        return;
    }
    const pa_timing_info* timing = success ? pa_stream_get_timing_info(stream) : nullptr;
    if (timing && timing->playing)
        playsNow_ = true;
}

int64_t ServerAudioBackend::silentFrames(int64_t nowNs) const
{
    return silentBase_ + static_cast<int64_t>(static_cast<double>(nowNs - silentStartNs_) * 1e-9 * frequency_);
}

int64_t ServerAudioBackend::heardFrames() const
{
    if (!running_)
        return frozen_;
    const int64_t now = steadyNs();
    int64_t heard = lastHeard_;
    if (live_ && placed_) {
        Lock lock(loop_);
        pa_usec_t usec = 0;
        // Until the server says the stream plays, libpulse interpolates from a
        // guess (a fifth of a second ahead, seen at a stream's start): what
        // was heard last still stands. A server gone since the last frame
        // (serviceOutput() will say so) leaves the show running on, silent.
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            heard += static_cast<int64_t>(static_cast<double>(now - lastHeardNs_) * 1e-9 * frequency_);
        } else if (timing && timing->playing && pa_stream_get_time(stream_, &usec) >= 0) {
            if (const std::optional<int64_t> frame = streamFrameHeard(usec, frequency_, written_))
                heard = base_ + *frame;
        }
    } else {
        heard = silentFrames(now);
    }
    lastHeard_ = heard;
    lastHeardNs_ = now;
    return heard;
}

void ServerAudioBackend::lockChannels()
{
    if (loop_)
        pa_threaded_mainloop_lock(loop_);
}

void ServerAudioBackend::unlockChannels()
{
    if (loop_)
        pa_threaded_mainloop_unlock(loop_);
}

void ServerAudioBackend::start()
{
    if (running_)
        return;
    running_ = true;
    // Silent, or on a stream not placed yet, the show runs on from where it
    // stopped by the steady clock.
    silentBase_ = frozen_;
    silentStartNs_ = steadyNs();
    if (live_) {
        Lock lock(loop_);
        cork(false);
    }
}

void ServerAudioBackend::stop()
{
    if (!running_)
        return;
    frozen_ = heardFrames();
    running_ = false;
    if (live_) {
        Lock lock(loop_);
        cork(true);
    }
}

void ServerAudioBackend::release()
{
    stop();
    if (loop_) {
        Lock lock(loop_);
        dropStream();
    }
    live_ = placed_ = false;
    releaseChannels();
    base_ = written_ = silentBase_ = frozen_ = lastHeard_ = 0;
}

// SDL's own choice of driver, when the user made one, is respected: a server
// back end only stands in for the drivers that would reach a server.
bool soundServerWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (!driver || !*driver)
        return true;
    const std::string name = driver;
    return name == "pulseaudio" || name == "pipewire";
}

}  // namespace

std::unique_ptr<AudioBackend> makeServerAudioBackend(AudioWarningSink warn, std::string& why)
{
    auto server = std::make_unique<ServerAudioBackend>(std::move(warn));
    if (!server->connect(why))
        return nullptr;
    return server;
}

std::unique_ptr<AudioBackend> makeLiveAudioBackend(AudioWarningSink warn)
{
    std::string why;
    if (soundServerWanted()) {
        if (auto server = makeServerAudioBackend(warn, why))
            return server;
    }
    return makeDeviceAudioBackend(std::move(warn));
}
