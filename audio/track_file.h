// Shared checks for the music decoders: the file exists, is a regular file,
// and can be read, with an error text that names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when `path` is a readable regular file and not WAV, Ogg or FLAC
// audio; otherwise `error` says why.
bool checkTrackFile(const std::string& path, std::string& error);

// Reads the whole file when it is at most `maxBytes` long. False with `error`
// set when it is missing, unreadable or too large.
bool readTrackFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);
