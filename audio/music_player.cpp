// Opening and starting the show's music.
#include "audio/music_player.h"

bool isStreamName(const std::string& path)
{
    std::string upper = path;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper.find("MP3") != std::string::npos;
}

int MusicPlayer::loadMusic(AudioBackend& backend, const std::string& path)
{
    if (isStreamName(path)) {
        streamHandle = backend.openStream(path);
        if (streamHandle == 0)
            return -1;
        kind = Kind::Stream;
        return 0;
    }
    moduleHandle = backend.openModule(path);
    if (moduleHandle == 0)
        return -1;
    kind = Kind::Module;
    return 0;
}

AudioHandle MusicPlayer::channel() const { return kind == Kind::Module ? moduleHandle : streamHandle; }

void startMusic(AudioBackend& backend, MusicPlayer& music, bool musicEnabled)
{
    if (!musicEnabled)
        backend.setVolume(music.channel(), 0.0f);
    backend.start();
    backend.play(music.channel());
}
