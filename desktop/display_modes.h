// Display modes of the primary display and the desktop's aspect ratio.
//
// The launch dialog offers one entry per distinct 32-bit resolution, in the
// order the display reports them. `enumerateDisplayModes()` asks SDL for that
// raw list, `distinctModes()` reduces it (pure, testable without a display),
// `desktopMode()` reports the mode the desktop runs in, and `detectAspect()`
// classifies a width and height into one of the aspect codes below.
//
//   app.displayModes = distinctModes(enumerateDisplayModes());
//   DisplayMode desk = desktopMode();
//   app.desktopAspect = detectAspect(desk.width, desk.height);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // storage bits: 32 for the 24-bit colour modes SDL lists as 4 bytes per pixel
    int refreshRate = 0;   // Hz, 0 when unknown
};

// Aspect codes shared by the dialog and the window's projection set-up.
enum class AspectCode : int {
    Other = 0,  // none of the four ratios below
    Ratio4x3 = 1,
    Ratio5x4 = 2,
    Ratio16x9 = 3,
    Ratio16x10 = 4,
};

// The aspect choices as --aspect names them and the launch dialog lists them,
// in the dialog's order; the first, with no code, is the desktop's own.
struct AspectName {
    const char* option;  // --aspect's value
    const char* label;   // the dialog's row
    std::optional<AspectCode> code;
};
inline constexpr AspectName kAspectNames[] = {
    {"auto", "Auto", std::nullopt},
    {"4:3", "4:3", AspectCode::Ratio4x3},
    {"5:4", "5:4", AspectCode::Ratio5x4},
    {"16:9", "16:9", AspectCode::Ratio16x9},
    {"16:10", "16:10", AspectCode::Ratio16x10},
};

// Keeps the 32-bit modes, one per width × height (the first enumerated wins;
// refresh rate is not compared), in the input's order.
std::vector<DisplayMode> distinctModes(const std::vector<DisplayMode>& enumerated);

// True when the environment names a display (DISPLAY, WAYLAND_DISPLAY) or a
// video driver (SDL_VIDEODRIVER, or the same SDL hint). Without one, SDL would probe every back end
// (some complain on stderr) only to end on a made-up display.
bool displayNamed();

// With SDL's video subsystem started: false when SDL fell back on its own to a
// driver that shows nothing (off-screen, dummy) because no display could be
// reached. A driver chosen through SDL_VIDEODRIVER (or its hint) counts as wanted.
bool videoDriverShowsPictures();

// Asks SDL for the drivers of the displays the environment names, so that an
// unreachable display fails at once instead of SDL going on to others (which
// complain on stderr) and ending off screen. A Wayland session (WAYLAND_DISPLAY
// set) gets the Wayland driver first and Xwayland after it; SDL_VIDEODRIVER
// overrides the choice, as it does for every SDL program. Call before SDL
// starts video.
void preferNamedVideoDriver();

// Every mode SDL reports for the primary display, in SDL's order.
// Returns an empty list when the video subsystem cannot start.
std::vector<DisplayMode> enumerateDisplayModes();

// Holds a reference on SDL's video subsystem while it lives, when a display
// is named and SDL's driver for it shows pictures; SDL counts the references,
// so queries and a window made meanwhile share one connection to the display
// instead of each opening its own.
class VideoSession {
public:
    VideoSession();
    ~VideoSession();
    VideoSession(const VideoSession&) = delete;
    VideoSession& operator=(const VideoSession&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

// The primary display's current (desktop) mode.
// Returns a mode of 0 × 0 when the video subsystem cannot start.
DisplayMode desktopMode();

// Aspect code of width / height, compared in single precision, so only exact
// ratios match (1366 × 768 is AspectCode::Other). A height of 0 gives AspectCode::Other.
AspectCode detectAspect(uint32_t width, uint32_t height);

// The text a mode is listed under: "%dx%d".
std::string modeLabel(const DisplayMode& mode);

// Index of the first mode with this width and height; -1 if none.
int findMode(const std::vector<DisplayMode>& modes, int width, int height);
