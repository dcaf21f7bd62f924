#include "fault_table.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

// Replaces the link to the build's file `name` with a copy a case may break.
fs::path copyOf(const fs::path& data, const char* name)
{
    const fs::path link = data / name, built = fs::read_symlink(link);
    fs::remove(link);
    fs::copy_file(built, link);
    return link;
}

void writeRandomBytes(const fs::path& path, size_t count, unsigned seed)
{
    fs::remove(path);
    std::ofstream out(path, std::ios::binary);
    std::mt19937 generator(seed);
    for (size_t i = 0; i < count; ++i)
        out.put(static_cast<char>(generator()));
}

void noDisplay(FaultRun& run) { run.env.insert(run.env.end(), {"DISPLAY=", "WAYLAND_DISPLAY="}); }

// Matches `line` against template pieces: literal text, with "{any}" as a gap
// of any length between them. Backtracks over the gaps' lengths.
bool matchFrom(std::string_view pattern, std::string_view line)
{
    const size_t any = pattern.find("{any}");
    if (any == std::string_view::npos)
        return pattern == line;
    if (line.substr(0, any) != pattern.substr(0, any))
        return false;
    for (size_t skip = any; skip <= line.size(); ++skip)
        if (matchFrom(pattern.substr(any + 5), line.substr(skip)))
            return true;
    return false;
}

}  // namespace

bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir)
{
    std::string pattern(lineTemplate);
    for (size_t at = pattern.find("{data}"); at != std::string::npos; at = pattern.find("{data}", at + dataDir.size()))
        pattern.replace(at, 6, dataDir);
    return matchFrom(pattern, line);
}

const std::vector<FaultCase>& faultTable()
{
    static const std::vector<FaultCase> table = {
        {"no-data-folder", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"},
            [](FaultRun& run) { fs::remove_all(run.data); }},
        {"missing-image", 0, {"brindle: warning: {data}/plus.p is missing or unreadable; PLUS stays blank"},
            [](FaultRun& run) { fs::remove(run.data / "plus.p"); }, Ending::Signal, SIGINT},
        {"broken-images", 0,
            {"brindle: warning: {data}/qn.p has a non-zero reserved header byte; QN stays blank",
                "brindle: warning: {data}/dot.p ends before its last row; DOT stays blank",
                "brindle: warning: {data}/square.p {any}; SQUARE stays blank"},
            [](FaultRun& run) {
                std::fstream(copyOf(run.data, "qn.p"), std::ios::in | std::ios::out | std::ios::binary)
                    .seekp(64)
                    .put(1);
                const fs::path dot = copyOf(run.data, "dot.p");
                fs::resize_file(dot, fs::file_size(dot) / 2);
                writeRandomBytes(run.data / "square.p", 30000, 8);
            },
            Ending::Signal, SIGINT},
        {"missing-music", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"},
            [](FaultRun& run) { fs::remove(run.data / "music.mp3"); }},
        {"corrupt-music", 1, {"brindle: cannot decode music file '{data}/music.mp3' as MP3 ({any})"},
            [](FaultRun& run) { writeRandomBytes(run.data / "music.mp3", 200000, 3); }},
        {"no-audio-device", 0, {"brindle: no audio output ({any}); the show runs silently"},
            [](FaultRun& run) {
                run.env.insert(run.env.end(), {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97"});
            },
            Ending::Signal, SIGINT},
        {"old-gl", 1, {"brindle: the GL driver is older than OpenGL 2.0; update the graphics driver"},
            [](FaultRun& run) { run.env.push_back("MESA_GL_VERSION_OVERRIDE=1.5"); }},
        {"hidden-framebuffer-extension", 1, {"brindle: the GL driver {any}; update the graphics driver"},
            [](FaultRun& run) { run.env.push_back("MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object"); }},
        {"no-display", 1, {"brindle: cannot open a display {any}"}, noDisplay},
        {"no-display-dialog", 1,
            {"brindle: cannot show the launch dialog: no display (DISPLAY is not set); run brindle from a graphical "
             "session"},
            [](FaultRun& run) {
                noDisplay(run);
                std::erase(run.args, "--no-dialog");
            }},
        {"unreachable-display", 1, {"brindle: cannot open a display {any}"},
            [](FaultRun& run) {
                run.env.insert(run.env.end(), {"DISPLAY=:917", "WAYLAND_DISPLAY="});
            }},
        {"escape", 0, {}, nullptr, Ending::Escape},
        {"window-close", 0, {}, nullptr, Ending::CloseBox},
        {"sigint", 0, {}, nullptr, Ending::Signal, SIGINT},
        // The live show opened six seconds before its end, which it then reaches by itself.
        {"fullscreen-end", 0, {}, [](FaultRun& run) { run.args.push_back("--start=128000"); }, Ending::Itself, 0, true},
        {"fullscreen-escape", 0, {}, nullptr, Ending::Escape, 0, true},
        {"fullscreen-window-close", 0, {}, nullptr, Ending::CloseBox, 0, true},
        {"fullscreen-sigint", 0, {}, nullptr, Ending::Signal, SIGINT, true},
        {"fullscreen-sigterm", 0, {}, nullptr, Ending::Signal, SIGTERM, true},
        {"fullscreen-sigkill", 128 + SIGKILL, {}, nullptr, Ending::Signal, SIGKILL, true},
        // A crash as the kernel delivers it, not as a sanitizer build would report it.
        {"fullscreen-sigsegv", 128 + SIGSEGV, {},
            [](FaultRun& run) {
                const char* sanitizer = std::getenv("ASAN_OPTIONS");
                run.env.push_back(std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":handle_segv=0");
            },
            Ending::Signal, SIGSEGV, true},
        {"fullscreen-sigabrt", 128 + SIGABRT, {}, nullptr, Ending::Signal, SIGABRT, true},
        {"stopped-and-continued", 0, {}, nullptr, Ending::StopAndContinue},
        {"wayland-compositor-killed", 1,
            {"brindle: the Wayland compositor went away ({any}); the show stopped, start it again in a running desktop "
             "session"},
            nullptr, Ending::CompositorKilled, 0, false, Session::Wayland},
        // The output runs 1024x768 and lists 800x600 and smaller.
        {"wayland-fullscreen-unlisted-size", 1,
            {"brindle: the display offers no 1280x720 mode; choose a listed size or run --windowed"},
            [](FaultRun& run) {
                std::replace(run.args.begin(), run.args.end(), std::string("800x600"), std::string("1280x720"));
            },
            Ending::Itself, 0, true, Session::Wayland},
        {"xwayland-fullscreen-other-size", 1,
            {"brindle: full screen at 800x600 came out 1024x768 (the display cannot switch to that size); use --size "
             "1024x768 or --windowed"},
            nullptr, Ending::Itself, 0, true, Session::Xwayland},
    };
    return table;
}

std::string unmatchedLines(
    const std::vector<std::string_view>& templates, const std::vector<std::string>& lines, const std::string& dataDir)
{
    std::vector<bool> used(lines.size(), false);
    for (std::string_view lineTemplate : templates) {
        bool found = false;
        for (size_t i = 0; i < lines.size() && !found; ++i)
            if (!used[i] && lineMatches(lineTemplate, lines[i], dataDir))
                used[i] = found = true;
        if (!found)
            return "no line matches \"" + std::string(lineTemplate) + "\"";
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (!used[i])
            return "unexpected line \"" + lines[i] + "\"";
    return {};
}
