// The faults the suite provokes, one row each, with what the program must do.
#include "fault_table.h"

#include <sys/stat.h>

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

// Replaces the link `name` with a link to itself, which no open can follow.
void loopLink(const FaultRun& run, const char* name)
{
    fs::remove(run.data / name);
    fs::create_symlink(name, run.data / name);
}

// Plays `name`, a file of the data folder holding `bytes`.
void playFile(FaultRun& run, const char* name, std::string_view bytes)
{
    std::ofstream(run.data / name, std::ios::binary) << bytes;
    run.args.insert(run.args.end(), {"--music", (run.data / name).string()});
}

void captureSpan(FaultRun& run, const char* from, const char* to)
{
    run.args.insert(run.args.end(), {"--from", from, "--to", to, "--fps", "30"});
}

const std::string kStopped = "brindle: capture stopped at frame {any} of {any}";
const std::string kDisplayLost = "brindle: lost the connection to the display '{any}' (the X server ended or closed it); "
                                 "start brindle again once the display is back";

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
        {"missing-image", 0, {"brindle: warning: '{data}/plus.p' is missing or unreadable; PLUS stays blank"},
            [](FaultRun& run) { fs::remove(run.data / "plus.p"); }, Ending::Signal, SIGINT},
        {"broken-images", 0,
            {"brindle: warning: '{data}/qn.p' has a non-zero reserved header byte; QN stays blank",
                "brindle: warning: '{data}/dot.p' ends before its last row; DOT stays blank",
                "brindle: warning: '{data}/square.p' {any}; SQUARE stays blank"},
            [](FaultRun& run) {
                std::fstream(copyOf(run.data, "qn.p"), std::ios::in | std::ios::out | std::ios::binary)
                    .seekp(64)
                    .put(1);
                const fs::path dot = copyOf(run.data, "dot.p");
                fs::resize_file(dot, fs::file_size(dot) / 2);
                writeRandomBytes(run.data / "square.p", 30000, 8);
            },
            Ending::Signal, SIGINT},
        // Opening a FIFO would wait for a writer; neither it nor a loop is a missing file.
        {"images-not-files", 0,
            {"brindle: warning: '{data}/plus.p' is not a regular file; PLUS stays blank",
                "brindle: warning: '{data}/qn.p' cannot be opened (Too many levels of symbolic links); QN stays blank"},
            [](FaultRun& run) {
                fs::remove(run.data / "plus.p");
                mkfifo((run.data / "plus.p").c_str(), 0600);
                loopLink(run, "qn.p");
            },
            Ending::Signal, SIGINT},
        {"missing-music", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"},
            [](FaultRun& run) { fs::remove(run.data / "music.mp3"); }},
        {"music-link-loop", 1,
            {"brindle: cannot open music file '{data}/music.mp3' (Too many levels of symbolic links)"},
            [](FaultRun& run) { loopLink(run, "music.mp3"); }},
        {"wav-music", 1,
            {"brindle: music file '{data}/take.wav' is WAV audio, which brindle does not play; give an MP3 file or a "
             "tracker module (MOD, XM, S3M, IT)"},
            [](FaultRun& run) { playFile(run, "take.wav", std::string_view("RIFF\0\0\0\0WAVEfmt ", 16)); }},
        {"ogg-music", 1,
            {"brindle: music file '{data}/take.ogg' is Ogg audio, which brindle does not play; give an MP3 file or a "
             "tracker module (MOD, XM, S3M, IT)"},
            [](FaultRun& run) { playFile(run, "take.ogg", std::string_view("OggS\0\2\0\0", 8)); }},
        {"flac-music", 1,
            {"brindle: music file '{data}/take.flac' is FLAC audio, which brindle does not play; give an MP3 file or a "
             "tracker module (MOD, XM, S3M, IT)"},
            [](FaultRun& run) { playFile(run, "take.flac", std::string_view("fLaC\0\0\0\x22", 8)); }},
        {"newline-in-name", 1, {"brindle: music file '{data}/a\\nb.mp3' not found; {any}"},
            [](FaultRun& run) { run.args.insert(run.args.end(), {"--music", (run.data / "a\nb.mp3").string()}); }},
        {"corrupt-music", 1, {"brindle: cannot decode music file '{data}/music.mp3' as MP3 ({any})"},
            [](FaultRun& run) { writeRandomBytes(run.data / "music.mp3", 200000, 3); }},
        {"no-audio-device", 0, {"brindle: no audio output ({any}); the show runs silently"},
            [](FaultRun& run) {
                run.env.insert(run.env.end(), {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97"});
            },
            Ending::Signal, SIGINT},
        {"sound-server-absent", 0, {"brindle: no audio output ({any}); the show runs silently"}, nullptr,
            Ending::Signal, SIGINT, false, nullptr, false, SoundServer::Absent},
        {"sound-server-killed", 0,
            {"brindle: lost the sound server ({any}); the show goes on silently until it is back"}, nullptr,
            Ending::Signal, SIGINT, false, nullptr, false, SoundServer::KilledMidShow},
        {"sound-server-restarted", 0,
            {"brindle: lost the sound server ({any}); the show goes on silently until it is back",
                "brindle: the sound server is back; the music plays on"},
            nullptr, Ending::Signal, SIGINT, false, nullptr, false, SoundServer::KilledAndRestarted},
        {"sound-server-restarted-while-paused", 0,
            {"brindle: lost the sound server ({any}); the show goes on silently until it is back",
                "brindle: the sound server is back; the music plays on"},
            nullptr, Ending::Signal, SIGINT, false, nullptr, false, SoundServer::KilledAndRestartedWhilePaused},
        {"old-gl", 1, {"brindle: the GL driver is older than OpenGL 2.0; update the graphics driver"},
            [](FaultRun& run) { run.env.push_back("MESA_GL_VERSION_OVERRIDE=1.5"); }},
        {"hidden-framebuffer-extension", 1, {"brindle: the GL driver {any}; update the graphics driver"},
            [](FaultRun& run) { run.env.push_back("MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object"); }},
        {"tiny-window", 1,
            {"brindle: the GL driver cannot draw into the render target RT_BLUR1 (0 x 0, status {any}); use a size "
             "of at least 4 x 4 or update the graphics driver"},
            [](FaultRun& run) { std::ranges::replace(run.args, std::string("320x200"), std::string("3x2")); }},
        {"no-display", 1, {"brindle: cannot open a display {any}"}, noDisplay},
        // The music opens before the window, but its audio warning waits for the window.
        {"no-display-no-audio", 1, {"brindle: cannot open a display {any}"},
            [](FaultRun& run) {
                noDisplay(run);
                run.env.insert(run.env.end(), {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97"});
            }},
        // The audio warning is held past the music's own failure too: one line.
        {"missing-music-no-audio", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"},
            [](FaultRun& run) {
                fs::remove(run.data / "music.mp3");
                run.env.insert(run.env.end(), {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97"});
            }},
        {"no-display-dialog", 1,
            {"brindle: cannot show the launch dialog: no display (DISPLAY is not set); run brindle from a graphical "
             "session"},
            [](FaultRun& run) {
                noDisplay(run);
                std::erase(run.args, "--no-dialog");
            }},
        // A copy of the program alone in the working folder, without its dialog module.
        {"missing-dialog-module", 1,
            {"brindle: cannot open the launch dialog ({any}brindle-dialog.so{any}); reinstall brindle, or start with "
             "--no-dialog"},
            [](FaultRun& run) {
                std::erase(run.args, "--no-dialog");
                run.shell = "cp \"$0\" ./brindle && exec ./brindle \"$@\"";
            }},
        {"unreachable-display", 1, {"brindle: cannot open a display {any}"},
            [](FaultRun& run) {
                run.env.insert(run.env.end(), {"DISPLAY=:917", "WAYLAND_DISPLAY="});
            }},
        {"escape", 0, {}, nullptr, Ending::Escape},
        {"window-close", 0, {}, nullptr, Ending::CloseBox},
        {"sigint", 0, {}, nullptr, Ending::Signal, SIGINT},
        {"sighup", 0, {}, nullptr, Ending::Signal, SIGHUP},
        {"display-lost", 1, {kDisplayLost}, nullptr, Ending::LoseDisplay},
        {"stats-disk-full", 1, {"brindle: cannot print the statistics on stdout (No space left on device)"},
            [](FaultRun& run) { run.shell = "exec \"$0\" \"$@\" >/dev/full"; }, Ending::Signal, SIGINT},
        {"stats-stdout-closed", 1, {"brindle: cannot print the statistics: stdout is closed; give it a file or a pipe"},
            [](FaultRun& run) { run.shell = "exec \"$0\" \"$@\" >&-"; }},
        {"dialog-sigint", 128 + SIGINT, {}, nullptr, Ending::Signal, SIGINT, false, nullptr, true},
        {"dialog-sigterm", 128 + SIGTERM, {}, nullptr, Ending::Signal, SIGTERM, false, nullptr, true},
        {"dialog-sighup", 128 + SIGHUP, {}, nullptr, Ending::Signal, SIGHUP, false, nullptr, true},
        {"display-lost-dialog", 1, {kDisplayLost}, nullptr, Ending::LoseDisplay, 0, false, nullptr, true},
        {"capture-sighup", 128 + SIGHUP, {kStopped}, nullptr, Ending::Signal, SIGHUP, false, "frames"},
        {"capture-sigint-video", 128 + SIGINT, {kStopped}, nullptr, Ending::Signal, SIGINT, false, "take.mkv"},
        // Ignored: the progress line's reader gone (`2>&1 | head -1`) must not end the capture.
        {"capture-sigpipe", 0, {}, [](FaultRun& run) { captureSpan(run, "0", "10000"); }, Ending::Signal, SIGPIPE,
            false, "frames"},
        {"capture-file-size-limit", 1, {"brindle: cannot write 'frames/frame_{any}.png' (File too large)"},
            [](FaultRun& run) {
                captureSpan(run, "44000", "45000");
                run.shell = "ulimit -f 8; exec \"$0\" \"$@\"";
            },
            Ending::Itself, 0, false, "frames"},
        {"video-file-size-limit", 1, {"brindle: ffmpeg could not write 'take.mkv': ended by File size limit exceeded"},
            [](FaultRun& run) {
                captureSpan(run, "44000", "54000");
                run.args.push_back("--no-music");
                run.shell = "ulimit -f 40; exec \"$0\" \"$@\"";
                std::ofstream(run.out / "take.mkv") << "an earlier take";
            },
            Ending::Itself, 0, false, "take.mkv"},
        // A capture from the start fails on its assets before its first frame is written.
        {"capture-tiny-size", 1,
            {"brindle: the GL driver cannot draw into the render target RT_BLUR1 (0 x 0, status {any}); use a size "
             "of at least 4 x 4 or update the graphics driver"},
            [](FaultRun& run) {
                std::ranges::replace(run.args, std::string("160x100"), std::string("3x2"));
                captureSpan(run, "0", "3000");
                std::ofstream(run.out / "take.mkv") << "an earlier take";
            },
            Ending::Itself, 0, false, "take.mkv"},
        {"capture-empty-span", 2, {"brindle: --from 5 --to 10 holds no frame at 30 fps; widen the span"},
            [](FaultRun& run) { captureSpan(run, "5", "10"); }, Ending::Itself, 0, false, "frames"},
        {"capture-dotted-folder", 0, {}, [](FaultRun& run) { captureSpan(run, "1000", "1200"); }, Ending::Itself, 0,
            false, "take.2"},
        {"capture-dash-name", 0, {}, [](FaultRun& run) { captureSpan(run, "1000", "1200"); }, Ending::Itself, 0, false,
            "-take.mp4"},
        {"capture-headless", 0, {},
            [](FaultRun& run) {
                captureSpan(run, "1000", "1200");
                run.env.insert(run.env.end(), {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR="});
            },
            Ending::Itself, 0, false, "frames"},
        {"capture-scratch-folder-missing", 1,
            {"brindle: cannot create a scratch file in '{any}/none' (No such file or directory); set TMPDIR to a "
             "folder with room"},
            [](FaultRun& run) { run.env.push_back("TMPDIR=" + (run.out / "none").string()); }, Ending::Itself, 0, false,
            "take.mkv"},
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
            nullptr, Ending::CompositorKilled, 0, false, nullptr, false, SoundServer::Dummy, Session::Wayland},
        // The output runs 1024x768 and lists 800x600 and smaller.
        {"wayland-fullscreen-unlisted-size", 1,
            {"brindle: the display offers no 1280x720 mode; choose a listed size or run --windowed"},
            [](FaultRun& run) {
                std::replace(run.args.begin(), run.args.end(), std::string("800x600"), std::string("1280x720"));
            },
            Ending::Itself, 0, true, nullptr, false, SoundServer::Dummy, Session::Wayland},
        {"xwayland-fullscreen-other-size", 1,
            {"brindle: full screen at 800x600 came out 1024x768 (the display cannot switch to that size); use --size "
             "1024x768 or --windowed"},
            nullptr, Ending::Itself, 0, true, nullptr, false, SoundServer::Dummy, Session::Xwayland},
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
