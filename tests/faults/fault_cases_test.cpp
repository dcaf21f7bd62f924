// The program run against broken machines and broken files: one row per
// fault, how the suite provokes it and what the program must then do, each run
// by the fault harness and held to its row. docs/robustness.md promises the
// same, case by case, and is held to this table, so the document stays true as
// long as the suite passes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "tests/support/fault_harness.h"

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

// ALSA without the card.
void noAudioDevice(FaultRun& run) { run.env.insert(run.env.end(), {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97"}); }

// Replaces the link `name` with a link to itself, which no open can follow.
void loopLink(const FaultRun& run, const char* name)
{
    fs::remove(run.data / name);
    fs::create_symlink(name, run.data / name);
}

void captureSpan(FaultRun& run, const char* from, const char* to)
{
    run.args.insert(run.args.end(), {"--from", from, "--to", to, "--fps", "30"});
}

void shortSpan(FaultRun& run) { captureSpan(run, "1000", "1200"); }

// Three seconds before the show's end, which it then reaches by itself.
void nearTheEnd(FaultRun& run) { run.args.push_back("--start=131000"); }

// Puts `size` where the case's usual size stood.
void resize(FaultRun& run, const char* from, const char* size)
{
    std::ranges::replace(run.args, std::string(from), std::string(size));
}

const std::string kMusicMissing = "brindle: music file '{data}/music.mp3' not found; {any}";
const std::string kNoAudio = "brindle: no audio output ({any}); the show runs silently";
const std::string kNoDisplay = "brindle: cannot open a display {any}";
const std::string kStopped = "brindle: capture stopped at frame {any} of {any}";
const std::string kServerLost = "brindle: lost the sound server ({any}); the show goes on silently until it is back";
const std::string kServerBack = "brindle: the sound server is back; the music plays on";
const std::string kTooSmall
    = "brindle: the GL driver cannot draw into the render target RT_BLUR1 (0 x 0, status {any}); "
      "use a size of at least 4 x 4 or update the graphics driver";
const std::string kDisplayLost
    = "brindle: lost the connection to the display '{any}' (the X server ended or closed it); "
      "start brindle again once the display is back";

const std::vector<FaultCase>& faultTable()
{
    static const std::vector<FaultCase> table = {
        {.id = "no-data-folder", .status = 1, .stderrLines = {kMusicMissing},
            .provoke = [](FaultRun& run) { fs::remove_all(run.data); }},
        {.id = "missing-image",
            .stderrLines = {"brindle: warning: '{data}/plus.p' is missing or unreadable; PLUS stays blank"},
            .provoke = [](FaultRun& run) { fs::remove(run.data / "plus.p"); }, .signal = SIGINT},
        {.id = "broken-images",
            .stderrLines = {"brindle: warning: '{data}/qn.p' has a non-zero reserved header byte; QN stays blank",
                "brindle: warning: '{data}/dot.p' ends before its last row; DOT stays blank",
                "brindle: warning: '{data}/square.p' {any}; SQUARE stays blank"},
            .provoke = [](FaultRun& run) {
                std::fstream(copyOf(run.data, "qn.p"), std::ios::in | std::ios::out | std::ios::binary)
                    .seekp(64)
                    .put(1);
                const fs::path dot = copyOf(run.data, "dot.p");
                fs::resize_file(dot, fs::file_size(dot) / 2);
                writeRandomBytes(run.data / "square.p", 30000, 8);
            }, .signal = SIGINT},
        // Opening a FIFO would wait for a writer; neither it nor a loop is a missing file.
        {.id = "images-not-files",
            .stderrLines = {"brindle: warning: '{data}/plus.p' is not a regular file; PLUS stays blank",
                "brindle: warning: '{data}/qn.p' cannot be opened (Too many levels of symbolic links); QN stays blank"},
            .provoke = [](FaultRun& run) {
                fs::remove(run.data / "plus.p");
                mkfifo((run.data / "plus.p").c_str(), 0600);
                loopLink(run, "qn.p");
            }, .signal = SIGINT},
        {.id = "missing-music", .status = 1, .stderrLines = {kMusicMissing},
            .provoke = [](FaultRun& run) { fs::remove(run.data / "music.mp3"); }},
        {.id = "music-link-loop", .status = 1,
            .stderrLines = {"brindle: cannot open music file '{data}/music.mp3' (Too many levels of symbolic links)"},
            .provoke = [](FaultRun& run) { loopLink(run, "music.mp3"); }},
        // One of the formats refused by name; the decoders' unit table holds the others.
        {.id = "ogg-music", .status = 1,
            .stderrLines = {"brindle: music file '{data}/take.ogg' is Ogg audio, which brindle does not play; give an "
                            "MP3 file or a tracker module (MOD, XM, S3M, IT)"},
            .provoke = [](FaultRun& run) {
                std::ofstream(run.data / "take.ogg", std::ios::binary) << std::string_view("OggS\0\2\0\0", 8);
                run.args.insert(run.args.end(), {"--music", run.data / "take.ogg"});
            }},
        {.id = "newline-in-name", .status = 1,
            .stderrLines = {"brindle: music file '{data}/a\\nb.mp3' not found; {any}"},
            .provoke = [](FaultRun& run) { run.args.insert(run.args.end(), {"--music", run.data / "a\nb.mp3"}); }},
        {.id = "corrupt-music", .status = 1,
            .stderrLines = {"brindle: cannot decode music file '{data}/music.mp3' as MP3 ({any})"},
            .provoke = [](FaultRun& run) { writeRandomBytes(run.data / "music.mp3", 200000, 3); }},
        {.id = "no-audio-device", .stderrLines = {kNoAudio}, .provoke = noAudioDevice, .signal = SIGINT},
        {.id = "sound-server-absent", .stderrLines = {kNoAudio}, .signal = SIGINT, .sound = SoundServer::Absent},
        {.id = "sound-server-restarted", .stderrLines = {kServerLost, kServerBack}, .signal = SIGINT,
            .sound = SoundServer::KilledAndRestarted},
        {.id = "sound-server-restarted-while-paused", .stderrLines = {kServerLost, kServerBack}, .signal = SIGINT,
            .sound = SoundServer::KilledAndRestartedWhilePaused},
        {.id = "old-gl", .status = 1,
            .stderrLines = {"brindle: the GL driver is older than OpenGL 2.0; update the graphics driver"},
            .provoke = [](FaultRun& run) { run.env.push_back("MESA_GL_VERSION_OVERRIDE=1.5"); }},
        {.id = "hidden-framebuffer-extension", .status = 1,
            .stderrLines = {"brindle: the GL driver {any}; update the graphics driver"},
            .provoke = [](FaultRun& run) { run.env.push_back("MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object"); }},
        {.id = "tiny-window", .status = 1, .stderrLines = {kTooSmall},
            .provoke = [](FaultRun& run) { resize(run, "320x200", "3x2"); }},
        {.id = "no-display", .status = 1, .stderrLines = {kNoDisplay}, .provoke = noDisplay},
        // The music opens before the window, but its audio warning waits for the window.
        {.id = "no-display-no-audio", .status = 1, .stderrLines = {kNoDisplay}, .provoke = [](FaultRun& run) {
            noDisplay(run);
            noAudioDevice(run);
        }},
        // The audio warning is held past the music's own failure too: one line.
        {.id = "missing-music-no-audio", .status = 1,
            .stderrLines = {kMusicMissing}, .provoke = [](FaultRun& run) {
                fs::remove(run.data / "music.mp3");
                noAudioDevice(run);
            }},
        {.id = "no-display-dialog", .status = 1,
            .stderrLines = {"brindle: cannot show the launch dialog: no display (DISPLAY is not set); run brindle "
                            "from a graphical session"},
            .provoke = [](FaultRun& run) {
                noDisplay(run);
                std::erase(run.args, "--no-dialog");
            }},
        // A copy of the program alone in the working folder, without its dialog module.
        {.id = "missing-dialog-module", .status = 1,
            .stderrLines = {"brindle: cannot open the launch dialog ({any}brindle-dialog.so{any}); reinstall brindle, "
                            "or start with --no-dialog"},
            .provoke = [](FaultRun& run) {
                std::erase(run.args, "--no-dialog");
                run.shell = "cp \"$0\" ./brindle && exec ./brindle \"$@\"";
            }},
        {.id = "unreachable-display", .status = 1, .stderrLines = {kNoDisplay},
            .provoke = [](FaultRun& run) { run.env.insert(run.env.end(), {"DISPLAY=:917", "WAYLAND_DISPLAY="}); }},
        {.id = "escape", .ending = Ending::Escape},
        {.id = "window-close", .ending = Ending::CloseBox},
        // SIGINT, SIGTERM and SIGHUP share one handler: each context sends one of them, and the
        // launch dialog's, ended alike by the signal's own default, is not the one that proves SIGTERM.
        {.id = "sigterm", .signal = SIGTERM},
        {.id = "display-lost", .status = 1, .stderrLines = {kDisplayLost}, .ending = Ending::LoseDisplay},
        {.id = "stats-disk-full", .status = 1,
            .stderrLines = {"brindle: cannot print the statistics on stdout (No space left on device)"},
            .provoke = [](FaultRun& run) { run.shell = "exec \"$0\" \"$@\" >/dev/full"; }, .signal = SIGINT},
        {.id = "stats-stdout-closed", .status = 1,
            .stderrLines = {"brindle: cannot print the statistics: stdout is closed; give it a file or a pipe"},
            .provoke = [](FaultRun& run) { run.shell = "exec \"$0\" \"$@\" >&-"; }},
        {.id = "dialog-sigterm", .status = 128 + SIGTERM, .signal = SIGTERM, .dialog = true},
        {.id = "dialog-escape", .status = 255, .ending = Ending::Escape, .dialog = true},
        {.id = "dialog-close", .status = 255, .ending = Ending::CloseBox, .dialog = true},
        {.id = "display-lost-dialog", .status = 1, .stderrLines = {kDisplayLost}, .ending = Ending::LoseDisplay,
            .dialog = true},
        {.id = "capture-sighup", .status = 128 + SIGHUP, .stderrLines = {kStopped}, .signal = SIGHUP,
            .capture = "frames"},
        {.id = "capture-sigint-video", .status = 128 + SIGINT, .stderrLines = {kStopped}, .signal = SIGINT,
            .capture = "take.mkv"},
        // Ignored: the progress line's reader gone (`2>&1 | head -1`) must not end the capture.
        {.id = "capture-sigpipe", .provoke = [](FaultRun& run) { captureSpan(run, "0", "10000"); }, .signal = SIGPIPE,
            .capture = "frames"},
        {.id = "capture-file-size-limit", .status = 1,
            .stderrLines = {"brindle: cannot write 'frames/frame_{any}.png' (File too large)"},
            .provoke = [](FaultRun& run) {
                captureSpan(run, "44000", "45000");
                run.shell = "ulimit -f 8; exec \"$0\" \"$@\"";
            }, .capture = "frames"},
        {.id = "video-file-size-limit", .status = 1,
            .stderrLines = {"brindle: ffmpeg could not write 'take.mkv': ended by File size limit exceeded"},
            .provoke = [](FaultRun& run) {
                captureSpan(run, "44000", "54000");
                run.args.push_back("--no-music");
                run.shell = "ulimit -f 40; exec \"$0\" \"$@\"";
                std::ofstream(run.out / "take.mkv") << "an earlier take";
            }, .capture = "take.mkv"},
        // A capture from the start fails on its assets before its first frame is written.
        {.id = "capture-tiny-size", .status = 1, .stderrLines = {kTooSmall}, .provoke = [](FaultRun& run) {
            resize(run, "160x100", "3x2");
            captureSpan(run, "0", "3000");
            std::ofstream(run.out / "take.mkv") << "an earlier take";
        }, .capture = "take.mkv"},
        {.id = "capture-empty-span", .status = 2,
            .stderrLines = {"brindle: --from 5 --to 10 holds no frame at 30 fps; widen the span"},
            .provoke = [](FaultRun& run) { captureSpan(run, "5", "10"); }, .capture = "frames"},
        {.id = "capture-dotted-folder", .provoke = shortSpan, .capture = "take.2"},
        {.id = "capture-dash-name", .provoke = shortSpan, .capture = "-take.mp4"},
        {.id = "capture-headless", .provoke = [](FaultRun& run) {
            shortSpan(run);
            run.env.insert(run.env.end(), {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR="});
        }, .capture = "frames"},
        {.id = "capture-scratch-folder-missing", .status = 1,
            .stderrLines = {"brindle: cannot create a scratch file in '{any}/none' (No such file or directory); set "
                            "TMPDIR to a folder with room"},
            .provoke = [](FaultRun& run) { run.env.push_back("TMPDIR=" + (run.out / "none").string()); },
            .capture = "take.mkv"},
        // The live show opened six seconds before its end, which it then reaches by itself.
        {.id = "fullscreen-end", .provoke = [](FaultRun& run) { run.args.push_back("--start=128000"); },
            .fullscreen = true},
        {.id = "fullscreen-escape", .ending = Ending::Escape, .fullscreen = true},
        {.id = "fullscreen-sigkill", .status = 128 + SIGKILL, .signal = SIGKILL, .fullscreen = true},
        {.id = "stopped-and-continued", .ending = Ending::StopAndContinue},
        {.id = "wayland-end", .provoke = nearTheEnd, .session = Session::Wayland},
        {.id = "xwayland-end", .provoke = nearTheEnd, .session = Session::Xwayland},
        {.id = "wayland-escape", .ending = Ending::Escape, .session = Session::Wayland},
        // The dialog launches only a size the display lists.
        {.id = "wayland-dialog-return", .provoke = [](FaultRun& run) {
            resize(run, "320x200", "640x480");
            nearTheEnd(run);
        }, .ending = Ending::Return, .dialog = true, .session = Session::Wayland},
        {.id = "wayland-dialog-escape", .status = 255, .ending = Ending::Escape, .dialog = true,
            .session = Session::Wayland},
        {.id = "wayland-compositor-killed", .status = 1,
            .stderrLines = {"brindle: the Wayland compositor went away ({any}); the show stopped, start it again in a "
                            "running desktop session"},
            .ending = Ending::CompositorKilled, .session = Session::Wayland},
        // The output runs 1024x768 and lists 800x600 and smaller.
        {.id = "wayland-fullscreen-unlisted-size", .status = 1,
            .stderrLines = {"brindle: the display offers no 1280x720 mode; choose a listed size or run --windowed"},
            .provoke = [](FaultRun& run) { resize(run, "800x600", "1280x720"); },
            .fullscreen = true, .session = Session::Wayland},
        {.id = "xwayland-fullscreen-other-size", .status = 1,
            .stderrLines = {"brindle: full screen at 800x600 came out 1024x768 (the display cannot switch to that "
                            "size); use --size 1024x768 or --windowed"},
            .fullscreen = true, .session = Session::Xwayland},
    };
    return table;
}

class FaultSuite : public ::testing::TestWithParam<FaultCase> { };

}  // namespace

TEST_P(FaultSuite, HoldsToItsRow) { runFaultCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Robustness, FaultSuite, ::testing::ValuesIn(faultTable()), [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name(info.param.id);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(RobustnessDocument, TableMatchesTheFaultSuite)
{
    using Promise = std::pair<int, std::multiset<std::string>>;
    std::map<std::string, Promise> documented, proved;
    // | fault | what the program does | status | `line`<br>`line` | `case` |
    const std::regex row(R"(\|[^|]*\|[^|]*\| *(\d+) *\|([^|]*)\| *`([a-z-]+)` *\|)"), span("`([^`]*)`");
    std::ifstream in(BRINDLE_ROBUSTNESS_DOC);
    std::smatch cells;
    for (std::string line; std::getline(in, line);) {
        if (!std::regex_match(line, cells, row))
            continue;
        Promise& promise = documented[cells[3]];
        promise.first = std::stoi(cells[1]);
        const std::string lines = cells[2];
        for (std::sregex_iterator it(lines.begin(), lines.end(), span), end; it != end; ++it)
            promise.second.insert((*it)[1]);
    }
    for (const FaultCase& fault : faultTable()) {
        Promise& promise = proved[std::string(fault.id)];
        promise.first = fault.status;
        for (std::string_view line : fault.stderrLines)
            promise.second.emplace(line);
    }
    EXPECT_EQ(documented, proved);
}

TEST(FaultTable, LineTemplatesMatchWhatTheySayAndNothingElse)
{
    EXPECT_TRUE(lineMatches("w: {data}/p {any}!", "w: /d (1)/p x; y!", "/d (1)"));
    EXPECT_FALSE(lineMatches("w: {data}/p", "w: /e/p", "/d (1)"));
    EXPECT_FALSE(lineMatches("a", "a and more", ""));
}
