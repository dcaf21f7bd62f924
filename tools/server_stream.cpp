// A blocking stream on a PulseAudio-protocol server for the measuring tools;
// see server_stream.h for why its latency is asked for afresh.
#include "tools/server_stream.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>

#include "audio/pulse_loop_lock.h"
#include "capture/frame_log.h"

namespace {

constexpr size_t kFrameBytes = 2 * sizeof(float);

using Lock = PulseLoopLock;

void wake(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }

}  // namespace

ServerStream::~ServerStream()
{
    if (!loop_)
        return;
    pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        if (peekedLeft_ > 0)
            pa_stream_drop(stream_);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
}

bool ServerStream::serverError(std::string& error) const
{
    error = context_ ? pa_strerror(pa_context_errno(context_)) : "cannot reach the sound server";
    return false;
}

bool ServerStream::good() const
{
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
}

bool ServerStream::open(Direction direction, const char* device, size_t fragmentFrames, std::string& error)
{
    direction_ = direction;
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        error = "cannot start the sound server's thread";
        return false;
    }
    Lock lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "brindle measuring tool");
    if (!context_)
        return serverError(error);
    pa_context_set_state_callback(context_, [](pa_context*, void* loop) { wake(static_cast<pa_threaded_mainloop*>(loop)); }, loop_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return serverError(error);
    while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
            return serverError(error);
        pa_threaded_mainloop_wait(loop_);
    }
    const pa_sample_spec format {PA_SAMPLE_FLOAT32LE, kRate, 2};
    stream_ = pa_stream_new(context_, direction == Direction::Play ? "music" : "monitor", &format, nullptr);
    if (!stream_)
        return serverError(error);
    const auto wakeOnStream = [](pa_stream*, void* loop) { wake(static_cast<pa_threaded_mainloop*>(loop)); };
    const auto wakeOnData = [](pa_stream*, size_t, void* loop) { wake(static_cast<pa_threaded_mainloop*>(loop)); };
    pa_stream_set_state_callback(stream_, wakeOnStream, loop_);
    const uint32_t any = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
    int connected;
    if (direction == Direction::Play) {
        pa_stream_set_write_callback(stream_, wakeOnData, loop_);
        const pa_buffer_attr buffer {any, static_cast<uint32_t>(kRate / 20 * kFrameBytes), any, any, any};
        connected = pa_stream_connect_playback(stream_, device, &buffer, flags, nullptr, nullptr);
    } else {
        pa_stream_set_read_callback(stream_, wakeOnData, loop_);
        pa_stream_set_latency_update_callback(
            stream_, [](pa_stream*, void* self) { static_cast<ServerStream*>(self)->answeredNs_ = monotonicNs(); }, this);
        const pa_buffer_attr buffer {any, any, any, any, static_cast<uint32_t>(fragmentFrames * kFrameBytes)};
        // Not interpolated: see latency().
        const auto raw = static_cast<pa_stream_flags_t>(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_NOT_MONOTONIC);
        connected = pa_stream_connect_record(stream_, device, &buffer, raw);
    }
    if (connected < 0)
        return serverError(error);
    while (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))
            return serverError(error);
        pa_threaded_mainloop_wait(loop_);
    }
    return true;
}

bool ServerStream::write(const float* frames, size_t count)
{
    Lock lock(loop_);
    const auto* data = reinterpret_cast<const uint8_t*>(frames);
    size_t bytes = count * kFrameBytes;
    while (bytes > 0) {
        size_t room;
        while ((room = pa_stream_writable_size(stream_)) == 0 || room == static_cast<size_t>(-1)) {
            if (!good())
                return false;
            pa_threaded_mainloop_wait(loop_);
        }
        room = std::min(room, bytes);
        if (pa_stream_write(stream_, data, room, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        data += room;
        bytes -= room;
    }
    return true;
}

bool ServerStream::read(float* frames, size_t count)
{
    Lock lock(loop_);
    auto* out = reinterpret_cast<uint8_t*>(frames);
    size_t bytes = count * kFrameBytes;
    while (bytes > 0) {
        if (peekedLeft_ == 0) {
            const void* data = nullptr;
            size_t length = 0;
            if (pa_stream_peek(stream_, &data, &length) < 0)
                return false;
            if (length == 0) {
                if (!good())
                    return false;
                pa_threaded_mainloop_wait(loop_);
                continue;
            }
            peeked_ = static_cast<const uint8_t*>(data);  // null for a hole: silence
            peekedLeft_ = length;
            peekedRead_ = 0;
        }
        const size_t now = std::min(bytes, peekedLeft_);
        if (peeked_)
            std::memcpy(out, peeked_ + peekedRead_, now);
        else
            std::memset(out, 0, now);
        out += now;
        bytes -= now;
        peekedRead_ += now;
        peekedLeft_ -= now;
        if (peekedLeft_ == 0)
            pa_stream_drop(stream_);
    }
    return true;
}

bool ServerStream::latency(int64_t& us)
{
    Lock lock(loop_);
    pa_usec_t latency = 0;
    int negative = 0;
    if (!good())
        return false;
    const bool known = pa_stream_get_latency(stream_, &latency, &negative) >= 0;
    if (!asking_) {
        pa_operation* asked = pa_stream_update_timing_info(
            stream_, [](pa_stream*, int, void* self) { static_cast<ServerStream*>(self)->asking_ = false; }, this);
        if (asked) {
            asking_ = true;
            pa_operation_unref(asked);
        }
    }
    if (!known)
        return false;
    us = negative ? -static_cast<int64_t>(latency) : static_cast<int64_t>(latency);
    if (direction_ == Direction::Record) {
        // The last answer's latency, aged by the time since it came.
        // libpulse's interpolation favours a smooth time over an accurate
        // one: after the burst of work at a run's start its estimate of the
        // server's rate drifted 1 to 3 ms a second for up to 14 s under
        // PipeWire, and every stamp with it.
        if (answeredNs_ == 0)
            return false;
        us += (monotonicNs() - answeredNs_) / 1000;
        // The server counts a fragment until it is dropped whole: what was
        // handed out of it already is not waiting any more.
        if (peekedLeft_ > 0)
            us -= static_cast<int64_t>(peekedRead_ / kFrameBytes) * 1'000'000 / kRate;
    }
    return true;
}
