// mp3_writer.cpp: LAME encoding. See mp3_writer.h.
#include "tools/mp3_writer.h"

#include <lame/lame.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

LamePtr makeEncoder(const Mp3Settings& settings)
{
    LamePtr lame(lame_init());
    if (!lame)
        return nullptr;
    lame_set_in_samplerate(lame.get(), kSampleRate);
    lame_set_out_samplerate(lame.get(), kSampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), settings.bitrateKbps);
    lame_set_quality(lame.get(), settings.quality);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        return nullptr;
    return lame;
}

bool writeAll(std::FILE* file, const unsigned char* bytes, int count)
{
    return count <= 0 || std::fwrite(bytes, 1, static_cast<size_t>(count), file) == static_cast<size_t>(count);
}

bool encodeInto(lame_global_flags* lame, std::FILE* file, const StereoBuffer& audio, std::string& what)
{
    constexpr int kChunk = 8192;
    std::vector<unsigned char> mp3(static_cast<size_t>(kChunk + kChunk / 4 + 7200));
    const int64_t frames = audio.frames();
    for (int64_t at = 0; at < frames; at += kChunk) {
        const int count = static_cast<int>(std::min<int64_t>(kChunk, frames - at));
        const int bytes = lame_encode_buffer_ieee_float(lame, &audio.left[static_cast<size_t>(at)],
            &audio.right[static_cast<size_t>(at)], count, mp3.data(), static_cast<int>(mp3.size()));
        if (bytes < 0) {
            what = "the encoder failed (code " + std::to_string(bytes) + ")";
            return false;
        }
        if (!writeAll(file, mp3.data(), bytes)) {
            what = "write failed";
            return false;
        }
    }
    const int tail = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
    if (tail < 0 || !writeAll(file, mp3.data(), tail)) {
        what = "flushing the encoder failed";
        return false;
    }
    // Rewrites the first frame with the delay and padding of a gapless decode.
    lame_mp3_tags_fid(lame, file);
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        what = "write failed";
        return false;
    }
    return true;
}

}  // namespace

bool writeMp3File(const std::string& path, const StereoBuffer& audio, const Mp3Settings& settings, std::string& error)
{
    if (audio.left.size() != audio.right.size()) {
        error = path + ": the channels differ in length";
        return false;
    }
    LamePtr lame = makeEncoder(settings);
    if (!lame) {
        error = path + ": LAME rejected " + std::to_string(settings.bitrateKbps) + " kbit/s at "
            + std::to_string(kSampleRate) + " Hz";
        return false;
    }
    FilePtr file(std::fopen(path.c_str(), "w+b"));
    if (!file) {
        error = path + ": cannot create (" + std::strerror(errno) + ")";
        return false;
    }
    std::string what;
    const bool encoded = encodeInto(lame.get(), file.get(), audio, what);
    const bool closed = std::fclose(file.release()) == 0;
    if (!encoded || !closed) {
        error = path + ": " + (encoded ? std::string("closing failed") : what);
        std::remove(path.c_str());
        return false;
    }
    return true;
}
