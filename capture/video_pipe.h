// video_pipe.h: encodes raw frames into a video file through ffmpeg.
//
//   VideoPipe video;
//   VideoSettings s{"show.mp4", 1920, 1080, 60, musicFd};
//   if (!video.open(s, error)) ...
//   video.writeFrame(rgb);           // w * h * 3 bytes, top row first, per frame
//   video.close(error);              // waits for ffmpeg, then names the file
//
// ffmpeg runs in a process group of its own, so Ctrl-C in the terminal reaches
// only brindle, which then closes the pipe and lets ffmpeg finish a playable
// file. It writes beside the target under a hidden name, which becomes the
// target's only when ffmpeg succeeded (output_file.h); a failure leaves an
// earlier file of that name as it was. .mp4 and .mkv get H.264 with AAC,
// .webm VP9 with Opus; pictures are yuv420p through the BT.709 matrix at TV
// range, and tagged so, since players take untagged HD video as BT.709
// whatever it was written with. A lossless .mkv keeps every pixel and
// sample instead: FFV1 in RGB, the music as 32-bit float PCM. The
// audio, when given, is raw interleaved stereo 32-bit float at
// audioSampleRate, read by ffmpeg from the descriptor as its fd 3, and is cut
// to the video's length.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct VideoSettings {
    std::string path;
    int width = 0, height = 0;  // both even, unless lossless
    int framesPerSecond = 60;
    int audioFd = -1;  // positioned at the music's start; -1: no audio stream
    int audioSampleRate = 44100;
    bool lossless = false;  // only for a path that canHoldLossless()
};

// True when `path` ends in .mp4, .mkv or .webm (any letter case).
bool isVideoPath(const std::string& path);

// True when `path` names a container a lossless video is written into (.mkv).
bool canHoldLossless(const std::string& path);

// The ffmpeg command line (argv[0] is "ffmpeg") that writes these settings' video into `file`.
std::vector<std::string> ffmpegArguments(const VideoSettings& settings, const std::string& file);

// The full path of an executable named `name` on PATH; empty when missing.
std::string findOnPath(const std::string& name);

class VideoPipe {
public:
    // Without a close(), ffmpeg is let finish and its file is dropped.
    ~VideoPipe();
    // Starts ffmpeg. False with one line in `error` when ffmpeg is missing or cannot start.
    bool open(const VideoSettings& settings, std::string& error);
    // False once ffmpeg has stopped taking frames (it failed or was killed).
    bool writeFrame(const uint8_t* rgb);
    // Ends the input, waits for ffmpeg and gives its file the target's name.
    // False with its last message when it failed.
    bool close(std::string& error);
    bool isOpen() const { return pid_ > 0; }

private:
    // Ends ffmpeg's input and waits for it; true when it finished its file.
    bool endEncoder(std::string& why);

    VideoSettings settings_;
    std::string partial_;  // where ffmpeg writes until the file is complete
    pid_t pid_ = -1;
    int input_ = -1;     // ffmpeg's stdin
    int messages_ = -1;  // ffmpeg's stderr
    bool broken_ = false;
};
