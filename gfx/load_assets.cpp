// load_assets.cpp: the start-up step that fills the application record's
// registries. Kept apart from the catalogue so that code using only the
// catalogue's steps does not pull in the audio back end.
#include <cstdio>

#include "app/application.h"
#include "gfx/asset_catalogue.h"

namespace {

// The back end's own text already names the file and the remedy; ours stands in
// only when it gave none.
std::string audioError(const AudioBackend& audio, const std::string& fallback) {
    return audio.lastError().empty() ? fallback : audio.lastError();
}

}  // namespace

bool loadAssets(DemoApplication& app, std::string& error) {
    // A record without a back end runs without sound; otherwise sound must work.
    if (app.audio) {
        if (!app.audio->init(44100)) {
            error = audioError(*app.audio, "cannot start the audio output; check the sound setup");
            return false;
        }
        if (app.music.loadMusic(*app.audio, app.musicPath) != 0) {
            error = audioError(*app.audio, "cannot open the music file " + app.musicPath +
                                               "; put a track there or pick another folder with --data");
            return false;
        }
    }
    if (!buildPrograms(app.programs, error)) return false;
    for (const std::string& warning : loadImageTextures(app.textures, app.dataDir)) {
        std::fprintf(stderr, "brindle: warning: %s\n", warning.c_str());
    }
    createRenderTargets(app.textures, app.width, app.height);
    return true;
}
