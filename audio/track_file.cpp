// File checks shared by the MP3 and module decoders.
#include "audio/track_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool checkTrackFile(const std::string& path, std::string& error)
{
    struct stat info { };
    if (stat(path.c_str(), &info) != 0) {
        // A folder we may not enter or a symlink loop is not a missing file.
        if (errno == ENOENT || errno == ENOTDIR)
            error = "music file '" + path + "' not found; check the Data folder (--data) or the --music file";
        else
            error = "cannot open music file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "music file '" + path + "' is not a regular file; give an MP3 file or a tracker module";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open music file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    // Formats people try first; neither decoder would name them.
    uint8_t head[12] = {};
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    const auto at = [&](size_t offset, const char* magic) {
        return got >= offset + 4 && std::memcmp(head + offset, magic, 4) == 0;
    };
    const char* format = at(0, "RIFF") && at(8, "WAVE") ? "WAV" : at(0, "OggS") ? "Ogg" : at(0, "fLaC") ? "FLAC" : nullptr;
    if (format) {
        error = "music file '" + path + "' is " + format
            + " audio, which brindle does not play; give an MP3 file or a tracker module (MOD, XM, S3M, IT)";
        return false;
    }
    return true;
}

bool readTrackFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error)
{
    bytes.clear();
    if (!checkTrackFile(path, error))
        return false;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open music file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    uint8_t block[65536];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, file.get());
        if (bytes.size() + got > maxBytes) {
            bytes.clear();
            error = "music file '" + path + "' is too large for a tracker module";
            return false;
        }
        bytes.insert(bytes.end(), block, block + got);
        if (got < sizeof block)
            break;
    }
    if (std::ferror(file.get())) {
        bytes.clear();
        error = "cannot read music file '" + path + "' (read error)";
        return false;
    }
    return true;
}
