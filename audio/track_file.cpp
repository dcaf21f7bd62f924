// File checks shared by the MP3 and module decoders.
#include "audio/track_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool checkTrackFile(const std::string& path, std::string& error)
{
    std::error_code code;
    if (!std::filesystem::exists(path, code)) {
        error = "music file '" + path + "' not found; check the Data folder (--data) or the --music file";
        return false;
    }
    if (!std::filesystem::is_regular_file(path, code)) {
        error = "music file '" + path + "' is not a regular file; give an MP3 file or a tracker module";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open music file '" + path + "' (" + std::strerror(errno) + ")";
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
