// mp3_writer.h: encodes a StereoBuffer to an MP3 file with libmp3lame.
//
// Constant bit rate, joint stereo, with LAME's information tag in the first
// frame: the tag records the encoder delay and padding, which lets a gapless
// decoder return exactly the samples that went in. LAME writes that tag by
// reading the finished file back, so the file is opened read-write.
//
// Usage:
//     std::string error;
//     if (!writeMp3File("Data/music.mp3", audio, Mp3Settings{}, error)) fail(error);
#pragma once

#include <string>

#include "tools/synth_dsp.h"

struct Mp3Settings {
    int bitrateKbps = 192;
    int quality = 5;  // LAME's algorithm quality: 0 best and slowest, 9 fastest
};

// False with a message naming the path; a failed write leaves no file behind.
bool writeMp3File(const std::string& path, const StereoBuffer& audio, const Mp3Settings& settings, std::string& error);
