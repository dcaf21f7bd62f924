// One stream on a sound server that speaks the PulseAudio protocol, with
// blocking reads and writes, for the sync meter's recorder and the reference
// player.
//
//   ServerStream out;
//   if (!out.open(ServerStream::Direction::Play, nullptr, 0, error)) ...
//   out.write(frames, count);
//   int64_t us;
//   if (out.latency(us)) ...
//
// latency() reads the latency from the server's last answer and asks for
// the next one: an answer's values are those of the server's last period,
// stamped when it was sent, so a latency interpolated from an answer the
// library's own timer asked for is off by however far into a period that
// answer came, up to a period (23 ms at 1024 frames under PipeWire) and by a
// different amount each run. Asked right after a read or a write, which the
// server's period wakes, the answer is as fresh as the server can give. A
// recording's latency is not interpolated at all (see latency()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class ServerStream {
public:
    enum class Direction { Play, Record };
    static constexpr int kRate = 44100;  // stereo float frames at this rate

    ServerStream() = default;
    ~ServerStream();
    ServerStream(const ServerStream&) = delete;
    ServerStream& operator=(const ServerStream&) = delete;

    // Play: 50 ms queued on the server, as a plain player asks. Record:
    // fragments of `fragmentFrames` (unused for Play). `device` null for the default sink or source.
    bool open(Direction direction, const char* device, size_t fragmentFrames, std::string& error);

    // Block until done; false when the server went away.
    bool write(const float* frames, size_t count);
    bool read(float* frames, size_t count);

    // Playback: how long until the next frame written is heard. Record: the
    // age of the next frame to be read. Microseconds; false until the server
    // first answers, or when it went away.
    bool latency(int64_t& us);

private:
    bool good() const;
    bool serverError(std::string& error) const;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    Direction direction_ = Direction::Play;
    // Record: the fragment peeked last (null for a hole in the recording),
    // how much of it was handed out and how much is left.
    const uint8_t* peeked_ = nullptr;
    size_t peekedRead_ = 0;
    size_t peekedLeft_ = 0;
    bool asking_ = false;  // an answer is awaited
    int64_t answeredNs_ = 0;  // monotonicNs() when the last answer came (Record)
};
