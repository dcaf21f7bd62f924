// Output files written under a hidden name and renamed once whole, and the
// unnamed scratch file.
#include "capture/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

#include "desktop/report.h"

int createBeside(const std::string& path, const std::string& suffix, std::string& partialPath, std::string& error)
{
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string stem = (folder / ("." + target.filename().string() + "-")).string();
    // Not mkstemp: its files are private (0600), while a finished output gets
    // the permissions the umask gives any new file.
    static std::atomic<unsigned> serial {0};
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        partialPath = stem + std::to_string(getpid()) + "-" + std::to_string(serial++) + suffix;
        fd = open(partialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = "cannot create a file in " + quotedName(folder.string()) + " for " + quotedName(path) + " ("
            + std::strerror(errno) + ")";
        partialPath.clear();
    }
    return fd;
}

bool publish(const std::string& partialPath, const std::string& path, std::string& error)
{
    if (std::rename(partialPath.c_str(), path.c_str()) == 0)
        return true;
    error = "cannot name the finished file " + quotedName(path) + " (" + std::strerror(errno) + ")";
    discard(partialPath);
    return false;
}

void discard(const std::string& partialPath) { unlink(partialPath.c_str()); }

bool writeAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeWhole(const std::string& path, const uint8_t* data, size_t size, std::string& error)
{
    std::string partial;
    const int fd = createBeside(path, "", partial, error);
    if (fd < 0)
        return false;
    const int failure = writeAll(fd, data, size) ? 0 : errno;
    // A full disk may show only at close, when the last blocks go out.
    if (close(fd) != 0 || failure) {
        error = "cannot write " + quotedName(path) + " (" + std::strerror(failure ? failure : errno) + ")";
        discard(partial);
        return false;
    }
    return publish(partial, path, error);
}

int openUnnamedScratch(std::string& error)
{
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    std::string pattern = folder + "/brindle-XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a scratch file in " + quotedName(folder) + " (" + std::strerror(errno)
            + "); set TMPDIR to a folder with room";
        return -1;
    }
    // Unlinked at once: nothing is left behind, not even after SIGKILL.
    unlink(pattern.c_str());
    return fd;
}
