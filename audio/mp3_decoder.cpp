// MPEG audio decoding through libmpg123: the whole file at once, gapless,
// converted to float stereo at the output rate.
#include <mpg123.h>

#include <memory>

#include "audio/decoded_track.h"
#include "audio/track_file.h"

namespace {

struct HandleCloser {
    void operator()(mpg123_handle* handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, HandleCloser>;

bool libraryReady()
{
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

// Asks for exactly one output format so every file, whatever its rate and
// channel count, comes out as float stereo at `sampleRate`.
bool configure(mpg123_handle* handle, int sampleRate)
{
    const long flags = MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_FORCE_FLOAT;
    return mpg123_param(handle, MPG123_ADD_FLAGS, flags, 0.0) == MPG123_OK && mpg123_format_none(handle) == MPG123_OK
        && mpg123_format(handle, sampleRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) == MPG123_OK;
}

}  // namespace

bool decodeMp3File(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate)
{
    out = DecodedTrack {};
    out.sampleRate = sampleRate;
    if (!checkTrackFile(path, error))
        return false;
    if (!libraryReady()) {
        error = "cannot start the MP3 decoder for '" + path + "'";
        return false;
    }
    int status = MPG123_OK;
    Mpg123Handle handle(mpg123_new(nullptr, &status));
    if (!handle || !configure(handle.get(), sampleRate)) {
        error = "cannot set up the MP3 decoder for '" + path + "'";
        return false;
    }
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        error = "cannot read music file '" + path + "' as MP3 (" + mpg123_strerror(handle.get()) + ")";
        return false;
    }
    const size_t maxSamples = static_cast<size_t>(kMaxTrackSeconds * sampleRate) * 2;
    std::vector<float> chunk(8192);
    for (;;) {
        size_t bytes = 0;
        status = mpg123_read(handle.get(), chunk.data(), chunk.size() * sizeof(float), &bytes);
        const size_t count = bytes / sizeof(float);
        if (out.samples.size() + count > maxSamples) {
            out = DecodedTrack {};
            error = "music file '" + path + "' is longer than " + std::to_string(kMaxTrackMinutes)
                + " minutes; use a shorter track";
            return false;
        }
        out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + static_cast<long>(count));
        if (status == MPG123_DONE)
            break;
        if (status == MPG123_OK || status == MPG123_NEW_FORMAT)
            continue;
        // A damaged frame late in a file should not throw away what decoded well.
        if (!out.samples.empty())
            break;
        error = "cannot decode music file '" + path + "' as MP3 (" + mpg123_strerror(handle.get()) + ")";
        out = DecodedTrack {};
        out.sampleRate = sampleRate;
        return false;
    }
    if (out.samples.empty()) {
        error = "music file '" + path + "' holds no MP3 audio; give an MP3 file or a tracker module";
        return false;
    }
    return true;
}
