// application.h: the application record, the one object the shell hangs off.
//
// DemoApplication holds the launch settings, the window and context handles, the
// GL version and entry-point loader, the registries, the music and its audio
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

#include "app/display_modes.h"
#include "app/launch_settings.h"
#include "app/mode_watchdog.h"
#include "gfx/gl_loader.h"
#include "audio/audio_backend.h"
#include "audio/music_player.h"
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

// The launch settings are the record's base: the dialog edits them in place
// and the window opens from them.
struct DemoApplication : LaunchSettings {
    DemoApplication();
    ~DemoApplication();
    DemoApplication(const DemoApplication&) = delete;
    DemoApplication& operator=(const DemoApplication&) = delete;

    std::vector<DisplayMode> displayModes;  // filled by the launch dialog's caller
    int windowWidth = 0;  // the window's size in screen units (differs on high-density displays)
    int windowHeight = 0;
    int maxSamples = 0;

    SDL_Window* window = nullptr;       // null when none
    SDL_GLContext glContext = nullptr;  // null when none
    ModeWatchdog modeWatchdog;          // watches a full-screen mode switch on X11
    std::array<bool, 256> keyDown {};   // index = virtual-key code; never cleared
    bool isKeyDown(KeyCode key) const { return keyDown[static_cast<size_t>(key)]; }
    std::vector<KeyCode> pressedKeys;  // keys pressed (not repeats) since the loop took them

    int glMajor = 0;
    int glMinor = 0;
    ExtensionLoader extensions;

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
