// The show's music: which file, which channel, and the buffer its spectrum is
// read into once per frame.
//
// Use: MusicPlayer music; if (music.loadMusic(backend, path) != 0) fail with
// backend.lastError(); after the frame clock has started call
// startMusic(backend, music, musicEnabled). A name containing "MP3" in any
// letter case is opened as a stream, any other name as a tracker module.
// With music switched off the track still plays, at volume 0, so the beat
// detector keeps reading it.
#pragma once

#include <array>
#include <string>

#include "audio/audio_backend.h"

// True when `path`, upper-cased (ASCII letters only), contains "MP3".
bool isStreamName(const std::string& path);

class MusicPlayer {
public:
    enum class Kind { Stream, Module };

    Kind kind = Kind::Stream;      // written only when an open succeeds
    AudioHandle moduleHandle = 0;  // 0 when no module was opened
    AudioHandle streamHandle = 0;  // 0 when no stream was opened
    std::array<float, 1024> spectrum {};

    // Opens `path` as a stream or a module by its name. 0 on success, -1 on
    // failure (backend.lastError() then names the file).
    int loadMusic(AudioBackend& backend, const std::string& path);
    // The module handle for a module, the stream handle otherwise.
    AudioHandle channel() const;
};

// Mutes the channel when music is switched off, starts the output and plays
// the channel from its start. The caller records that music is playing.
void startMusic(AudioBackend& backend, MusicPlayer& music, bool musicEnabled);
