// The show's configurator: the audio output and the music, the image files
// read beside the window, and the GL assets once the context is current.
#include "app/configurator.h"

#include <utility>

#include "app/application.h"
#include "desktop/report.h"

namespace {

// The back end's own text already names the file and the remedy; ours stands in
// only when it gave none. Either is kept to one line, whatever the file is called.
std::string audioError(const AudioBackend& audio, const std::string& fallback)
{
    return audio.lastError().empty() ? fallback : oneLine(audio.lastError());
}

}  // namespace

bool QuillonConfigurator::openMusic()
{
    error_.clear();
    StartupLaps laps(app);
    // A record without a back end runs without sound; otherwise sound must work.
    if (app.audio) {
        if (!app.audio->init(44100)) {
            error_ = audioError(*app.audio, "cannot start the audio output; check the sound setup");
            return false;
        }
        if (app.music.loadMusic(*app.audio, app.musicPath) != 0) {
            error_ = audioError(*app.audio,
                "cannot open the music file " + quotedName(app.musicPath)
                    + "; put a track there or pick another folder with --data");
            return false;
        }
    }
    laps.lap("music");
    musicOpen_ = true;
    return true;
}

void QuillonConfigurator::readFiles()
{
    images_ = readImageFiles(app.dataDir);
    filesRead_ = true;
}

bool QuillonConfigurator::loadAssets()
{
    if (!musicOpen_ && !openMusic())
        return false;
    error_.clear();
    StartupLaps laps(app);
    if (!buildPrograms(app.programs, error_))
        return false;
    laps.lap("shaders");
    if (!filesRead_)
        readFiles();
    filesRead_ = false;
    for (const std::string& warning : createImageTextures(app.textures, std::move(images_)))
        report("warning: " + oneLine(warning));
    if (!createRenderTargets(app.textures, app.width, app.height, error_))
        return false;
    laps.lap("textures");
    return true;
}
