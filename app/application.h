// application.h: the application record, the one object the shell hangs off.
//
// DemoApplication holds the launch settings, the window and context handles, the
// GL version and entry-point loader (its base, WindowRecord in
// desktop/window.h), the registries, the music and its audio
// back end, and the per-frame time values. main() makes one; runShow() resolves
// the settings from the command line, lets the launch dialog change them and
// drives everything else.
//
// Teardown order matters: the registries delete their GL objects while the
// context is still current (runShow calls releaseGraphics() before closeWindow),
// and the audio back end is stopped and released when the record goes away.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <SDL.h>

#include "audio/audio_backend.h"
#include "audio/music_player.h"
#include "desktop/display_modes.h"
#include "desktop/window.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"

class DemoConfigurator;

// Virtual-key codes: a letter or digit is its upper-case ASCII code, F1 to F12
// run from 112 up. Escape is the key that ends the show.
enum class KeyCode : int {
    Backspace = 8,
    Tab = 9,
    Return = 13,
    Escape = 27,
    Space = 32,
    Left = 37,
    Up = 38,
    Right = 39,
    Down = 40,
    F1 = 112,
};

// The window's record, with the launch settings at its base, is the record's
// base: the dialog edits the settings in place and the window opens from them.
struct DemoApplication : WindowRecord {
    DemoApplication();
    ~DemoApplication();
    DemoApplication(const DemoApplication&) = delete;
    DemoApplication& operator=(const DemoApplication&) = delete;

    std::vector<DisplayMode> displayModes;  // filled by the launch dialog's caller
    int maxSamples = 0;

    std::array<bool, 256> keyDown {};  // index = virtual-key code; never cleared
    bool isKeyDown(KeyCode key) const { return keyDown[static_cast<size_t>(key)]; }
    std::vector<KeyCode> pressedKeys;  // keys pressed (not repeats) since the loop took them

    TextureRegistry textures;
    ProgramRegistry programs;
    MusicPlayer music;
    std::unique_ptr<DemoConfigurator> configurator;

    bool musicPlaying = false;
    uint32_t showTimeMs = 0;
    float frameStep = 0.0f;

    std::unique_ptr<AudioBackend> audio;  // set before the assets load; null = no audio at all
    std::string dataDir = "Data";         // the data folder
    std::string musicPath = "Data/music.mp3";
    // The start-up's steps in the order they ran, with what each took in ms.
    std::vector<std::pair<std::string, double>> startupSteps;

    // Deletes the registries' GL objects; call with the context current.
    void releaseGraphics();
};

// Times the start-up steps: each lap() records the time since the previous
// one (or since construction) under its name in app.startupSteps.
class StartupLaps {
public:
    explicit StartupLaps(DemoApplication& app);
    void lap(const char* step);

private:
    DemoApplication& app_;
    uint64_t last_;
};
