// stream_time.h: what a sound server's time for a playback stream says was
// heard, where it can be believed.
//
//   if (std::optional<int64_t> frame = streamFrameHeard(usec, 44100, written)) ...
#pragma once

#include <cstdint>
#include <optional>

// The stream's frame heard now, from its time (microseconds since the
// stream's first frame, as libpulse gives it), or nothing where that time
// cannot be: libpulse's interpolation, starved of the server's answers, has
// gone below zero, which its unsigned time wraps to about 2^64 us (seen on a
// busy machine; followed, it threw the show to its end). Nothing is heard
// that was not written, so a time past the written end is that end (the
// interpolation runs on through an underrun).
inline std::optional<int64_t> streamFrameHeard(uint64_t usec, int frequency, int64_t written)
{
    if (static_cast<int64_t>(usec) < 0)
        return std::nullopt;
    const auto frame = static_cast<int64_t>(static_cast<double>(usec) * 1e-6 * frequency);
    return frame < written ? frame : written;
}
