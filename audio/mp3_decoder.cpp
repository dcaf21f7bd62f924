// MPEG audio decoding through libmpg123: gapless, converted to float stereo at
// the output rate, read as a stream or as a whole file.
#include <mpg123.h>

#include <memory>

#include "audio/decoded_track.h"
#include "audio/track_file.h"
#include "audio/track_source.h"

namespace {

struct HandleCloser {
    void operator()(mpg123_handle* handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, HandleCloser>;

constexpr size_t kFrameBytes = 2 * sizeof(float);

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

class Mp3Source final : public TrackSource {
public:
    Mp3Source(Mpg123Handle handle, int sampleRate)
        : handle_(std::move(handle))
        , sampleRate_(sampleRate)
    {
    }

    size_t read(float* out, size_t frames) override
    {
        size_t done = 0;
        while (done < frames && !ended_) {
            size_t bytes = 0;
            const int status = mpg123_read(handle_.get(), out + done * 2, (frames - done) * kFrameBytes, &bytes);
            done += bytes / kFrameBytes;
            if (status == MPG123_OK || status == MPG123_NEW_FORMAT)
                continue;
            // The end, or a damaged frame: what decoded well before it stays.
            ended_ = true;
            if (status != MPG123_DONE && decodedNothing_ && done == 0)
                failure_ = mpg123_strerror(handle_.get());
        }
        if (done > 0)
            decodedNothing_ = false;
        return done;
    }

    // mpg123 seeks to the sample and decodes the frames before it again, so
    // what follows matches a read from the start; its resampler keeps a phase
    // of its own, so a track at another rate is read through instead.
    bool skipTo(int64_t frame) override
    {
        mpg123_frameinfo info {};
        if (ended_ || mpg123_info(handle_.get(), &info) != MPG123_OK || info.rate != sampleRate_)
            return false;
        const off_t was = mpg123_tell(handle_.get());
        if (mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) == static_cast<off_t>(frame))
            return true;
        mpg123_seek(handle_.get(), was, SEEK_SET);
        return false;
    }

    // Why the first read found no audio; empty when it was simply empty.
    const std::string& failure() const { return failure_; }

private:
    Mpg123Handle handle_;
    int sampleRate_;
    bool ended_ = false;
    bool decodedNothing_ = true;
    std::string failure_;
};

std::unique_ptr<TrackSource> openMp3(const std::string& path, int sampleRate, std::string& error)
{
    if (!checkTrackFile(path, error))
        return nullptr;
    if (!libraryReady()) {
        error = "cannot start the MP3 decoder for '" + path + "'";
        return nullptr;
    }
    int status = MPG123_OK;
    Mpg123Handle handle(mpg123_new(nullptr, &status));
    if (!handle || !configure(handle.get(), sampleRate)) {
        error = "cannot set up the MP3 decoder for '" + path + "'";
        return nullptr;
    }
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        error = "cannot read music file '" + path + "' as MP3 (" + mpg123_strerror(handle.get()) + ")";
        return nullptr;
    }
    auto decoder = std::make_unique<Mp3Source>(std::move(handle), sampleRate);
    const Mp3Source* opened = decoder.get();
    std::unique_ptr<TrackSource> source = std::move(decoder);
    if (primeSource(source))
        return source;
    error = opened->failure().empty()
        ? "music file '" + path + "' holds no MP3 audio; give an MP3 file or a tracker module"
        : "cannot decode music file '" + path + "' as MP3 (" + opened->failure() + ")";
    return nullptr;
}

}  // namespace

TrackOpener mp3Opener(const std::string& path, int sampleRate)
{
    return [path, sampleRate](std::string& error) { return openMp3(path, sampleRate, error); };
}

bool decodeMp3File(const std::string& path, DecodedTrack& out, std::string& error, int sampleRate)
{
    out = DecodedTrack {};
    out.sampleRate = sampleRate;
    const std::unique_ptr<TrackSource> source = openMp3(path, sampleRate, error);
    if (!source)
        return false;
    if (!readWholeTrack(*source, out)) {
        error = "music file '" + path + "' is longer than " + std::to_string(kMaxTrackMinutes)
            + " minutes; use a shorter track";
        return false;
    }
    return true;
}
