// fault_harness.h: runs the real program against one broken machine or file
// and holds it to its case's row: exit status, the exact stderr lines, frames
// drawn when the show is meant to run, nothing left running, the screen's mode
// as it was, a capture's output whole. Rows use designated initialisers:
//   runFaultCase({.id = "missing-image", .stderrLines = {"brindle: warning: ..."},
//       .provoke = [](FaultRun& run) { ... }, .signal = SIGINT});
// A stderr line is a template: "{data}" stands for the data folder of the run,
// "{any}" for any text (a driver's or library's own words). Every expected
// line must appear exactly once and nothing else may appear.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// One run of the program as a case sets it up.
struct FaultRun {
    std::filesystem::path data;     // links to the build's files; a case may replace them
    std::vector<std::string> args;  // the data folder is added after the provocation
    std::vector<std::string> env;   // "NAME=VALUE" sets, "NAME=" removes
    std::filesystem::path out;      // the working directory, where a capture goes
    // When set, the program runs as `sh -c shell program args...`: "$0" is the
    // program, "$@" its arguments (for limits and redirections).
    std::string shell;
};

// How the run ends once the show draws (or, for a capture, once it has begun,
// or the dialog is up), unless the case sends a signal; Itself also when it
// never starts. Escape and Return are keys pressed in the window. LoseDisplay
// kills the X server the program runs on, a private one; CompositorKilled the
// Wayland compositor, one of the case's own.
enum class Ending { Itself, Escape, Return, CloseBox, StopAndContinue, LoseDisplay, CompositorKilled };

// The sound server of a case: a private PulseAudio the case may take away.
enum class SoundServer { Dummy, Absent, KilledAndRestarted, KilledAndRestartedWhilePaused };

// Where the program runs: the test run's X server, or a Wayland desktop
// session (both displays named) left to its default or told to use Xwayland.
enum class Session { X, Wayland, Xwayland };

struct FaultCase {
    std::string_view id;                        // the case's name in the suite and the document
    int status = 0;                             // exit status
    std::vector<std::string_view> stderrLines {};  // templates, in any order
    void (*provoke)(FaultRun&) = nullptr;
    Ending ending = Ending::Itself;
    int signal = 0;           // when set, the run is ended by this signal
    bool fullscreen = false;  // at 800x600 on the mode-switching server, or on the Wayland session's output
    // Captures into this name, relative to run.out, at 160x100 with --stats;
    // the output is then held to being whole: no partial, hidden or scratch
    // file left, every PNG complete, an earlier file kept when the run failed.
    const char* capture = nullptr;
    bool dialog = false;                     // with the launch dialog, which the ending meets
    SoundServer sound = SoundServer::Dummy;  // Dummy: SDL's silent driver, no server
    Session session = Session::X;
};

// Runs `fault` with GoogleTest's assertions; skips when its servers are missing.
void runFaultCase(const FaultCase& fault);

// Names the case in a failure's report.
inline void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.id; }

// True when `line` fits `lineTemplate` ({data} is dataDir, {any} any text).
bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir);
