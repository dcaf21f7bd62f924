// run_show.h: the entry sequence and the frame loop.
//
// runShow() asks for the settings (launch dialog unless --no-dialog), has the
// configurator open the music, opens the window while the asset files are read
// and the show is made and fast-forwarded to where it opens on threads of
// their own, starts the clock and the music, and runs frames: before the
// first frame that needs them (at once, unless the opening fade hides the
// first frames whole) the configurator loads the assets and the show is built.
// The frames run until the show time reaches 134000 ms,
// Escape is pressed or a quit arrives (window close, SIGINT,
// SIGTERM, SIGHUP), then
// takes everything down in order and returns the exit status.
//
// The show itself reaches the loop through ShowProgram, which main() fills with
// the real show. A FrameObserver sees each finished frame before it is
// presented (a capture reads it back).
//
//   FixedStepClock clock(60);
//   RunSettings run{options, &clock};
//   return runShow(app, show, run);   // show: a ShowProgram, main()'s for the real show
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <SDL.h>

#include "app/application.h"
#include "app/frame_clock.h"
#include "app/launch_dialog.h"
#include "app/options.h"
#include "desktop/quit_signal.h"

class DemoConfigurator;
class FrameLog;
class FrameStats;
class HeldReports;

class ShowProgram {
public:
    virtual ~ShowProgram() = default;
    // The configurator that loads the show's assets into `app`.
    virtual std::unique_ptr<DemoConfigurator> makeConfigurator(DemoApplication& app) = 0;
    // The launch dialog, which edits the record's launch settings in place.
    virtual LaunchResult runDialog(DemoApplication& app) = 0;
    // Makes the show's state without GL, once `music` is open; the state
    // keeps `music` for the frames it draws and reads nothing of it here. It
    // runs on the start-up worker while the window opens, and advanceFrame()
    // may follow it there; nothing else touches the show or the audio back end
    // meanwhile. False with `error` set stops the start.
    virtual bool prepare(MusicPlayer& music, std::string& error) = 0;
    // Builds what the frames draw from, after prepare() and the assets. False with `error` set stops the start.
    virtual bool build(DemoApplication& app, std::string& error) = 0;
    // Starts the music (muted when app.musicEnabled is false).
    virtual void startMusic(DemoApplication& app) = 0;
    // False when the frame for app.showTimeMs draws nothing the assets or
    // build() provide (the opening fade hides it whole), so it can be
    // presented before they are made.
    virtual bool frameNeedsAssets(const DemoApplication&) const { return true; }
    // Composes the whole frame for app.showTimeMs, colour fades included, into
    // the window framebuffer, and leaves it bound with the viewport it found.
    virtual void renderFrame(DemoApplication& app) = 0;
    // Makes the state change renderFrame would make for the frame `time`,
    // without GL: with `spectrum`, the music's 1024 magnitudes at that show
    // time, or null for a frame further back than beatReachMs from the next
    // frame drawn.
    virtual void advanceFrame(const FrameTime& time, const float* spectrum) = 0;
    // How far back the music still reaches into a frame that follows frames
    // at most `frameMs` apart.
    virtual uint32_t beatReachMs(uint32_t frameMs) const = 0;
    // Makes afresh what prepare() and build() made, as it stood before the first frame.
    virtual bool rebuild(DemoApplication& app, std::string& error) = 0;
    // True when the frame renderFrame drew last flashed a beat.
    virtual bool frameFlashed() const { return false; }
    // Releases what build() made; the context is still current.
    virtual void destroy(DemoApplication& app) = 0;
};

class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // Called once the clock is running, before the first frame. False stops the start.
    virtual bool begin(DemoApplication&, std::string&) { return true; }
    // Before a frame is rendered; false ends the loop without rendering it.
    virtual bool beforeFrame(DemoApplication&) { return true; }
    // A frame before the span of interest, advanced without drawing.
    virtual void frameSkipped(DemoApplication&) { }
    // After the frame is complete in the back buffer, before it is presented.
    virtual void frameRendered(DemoApplication&) { }
    // After the loop, with the context still current. False marks the run failed.
    virtual bool finish(DemoApplication&, std::string&) { return true; }
};

struct RunSettings {
    Options options;
    FrameClock* clock = nullptr;         // required
    FrameObserver* observer = nullptr;   // optional
    FrameStats* stats = nullptr;         // optional: frame times are recorded when set
    FrameLog* frameLog = nullptr;        // optional: a line per presented frame
    HeldReports* heldReports = nullptr;  // optional: released once the window is open
    uint64_t startTicks = 0;             // SDL_GetPerformanceCounter() at program start; 0 = at entry
};

// Exit statuses besides 0.
inline constexpr int kExitQuit = -1;        // the launch dialog ended without Launch
inline constexpr int kExitStartFailed = 1;  // start-up or capture failed; one line was printed

// Virtual-key code for an SDL key (letters upper case, digits, Escape,
// Return, Space, Tab, Backspace, F1..F12, arrows); nullopt for keys without one.
std::optional<KeyCode> virtualKeyFor(SDL_Keycode key);

// Records the virtual-key codes of key-down events in app.keyDown, and of
// presses that are not key repeats in app.pressedKeys. Returns true when the
// event asks the program to quit (window close, SDL_QUIT).
bool handleEvent(DemoApplication& app, const SDL_Event& event);

// Live-show keys beyond Escape: Space pauses and resumes, Right and Left jump.
inline constexpr KeyCode kPauseKey = KeyCode::Space;
inline constexpr KeyCode kJumpBackKey = KeyCode::Left;
inline constexpr KeyCode kJumpForwardKey = KeyCode::Right;
inline constexpr uint32_t kJumpMs = 10000;
// The fixed rate at which the live show fast-forwards its state.
inline constexpr int kFastForwardFps = 60;

// What a fast-forward moves, apart from the show: its frame clock, the frame
// it advanced last and the buffer it reads the music's spectrum into. The
// start-up worker moves one of its own and hands it back when it is done, so
// it never writes to the application record the main thread is filling.
struct FastForward {
    explicit FastForward(int framesPerSecond)
        : steps(framesPerSecond)
    {
        steps.start();
    }
    FixedStepClock steps;
    std::optional<FrameTime> last;  // none until a frame is advanced
    // The show's beat detector points at it only until the next frame drawn,
    // which reads the music into a buffer of its own.
    std::array<float, 1024> spectrum {};
};

// Advances the show without drawing through the frames `ahead.steps` counts
// from baseMs on, while baseMs + count < untilMs; only those the music can
// still reach at untilMs read its spectrum, from `audio` (when set) on
// `channel`.
void fastForward(ShowProgram& show, FastForward& ahead, AudioBackend* audio, AudioHandle channel, uint32_t baseMs,
    uint32_t untilMs);

int runShow(DemoApplication& app, ShowProgram& show, const RunSettings& settings);
