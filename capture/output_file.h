// output_file.h: files that appear whole or not at all.
//
// An output is written under a fresh hidden name in its own folder and takes
// its final name by rename() only once it is complete, so a full disk, a
// failed encoder or a signal never leaves a truncated file under the final
// name, nor harms an earlier file of that name.
//
//   std::string partial, error;
//   const int fd = createBeside("frames/frame_000042.png", "", partial, error);
//   ... write the whole file through fd, close it ...
//   ok ? publish(partial, "frames/frame_000042.png", error) : discard(partial);
//
// Scratch data nobody else reads (the music handed to ffmpeg) goes into an
// unnamed file in TMPDIR, which disappears with its last descriptor however
// the program ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Creates "<folder of path>/.<name of path>-<pid>-<n><suffix>" exclusively and
// returns its descriptor (write-only, close-on-exec), or -1 with the reason in `error`.
int createBeside(const std::string& path, const std::string& suffix, std::string& partialPath, std::string& error);

// Renames the partial file to `path`; on failure removes it and says why.
bool publish(const std::string& partialPath, const std::string& path, std::string& error);

// Removes a partial file that will not be finished.
void discard(const std::string& partialPath);

// Writes all `size` bytes to `fd`, again after a signal or a short write;
// false with errno set (EIO when the descriptor took nothing) otherwise.
bool writeAll(int fd, const void* data, size_t size);

// Writes `size` bytes as the file `path` through a partial file beside it;
// false with the path and the reason in `error`, leaving nothing behind.
bool writeWhole(const std::string& path, const uint8_t* data, size_t size, std::string& error);

// A read-write descriptor (close-on-exec) on a new file in TMPDIR (else /tmp)
// that has no name; -1 with the reason in `error`.
int openUnnamedScratch(std::string& error);
