// The fault harness: sets a case's machine up, starts brindle, brings the run
// to its ending and holds the outcome to the case's row.
#include "tests/support/fault_harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <regex>

#include "tests/support/process.h"
#include "tests/support/sound_server.h"
#include "tests/support/wayland_session.h"
#include "tests/support/x_desktop.h"

namespace fs = std::filesystem;

namespace {

const ScreenMode kShowMode {800, 600};

// The --stats line; empty when the program printed none.
nlohmann::json statsOf(const std::string& out)
{
    for (const std::string& line : splitLines(out))
        if (line.starts_with("{"))
            return nlohmann::json::parse(line, nullptr, false);
    return nlohmann::json::object();
}

// Every file under `dir` with its bytes.
std::map<fs::path, std::string> filesUnder(const fs::path& dir)
{
    std::map<fs::path, std::string> files;
    std::error_code none;
    for (const auto& entry : fs::recursive_directory_iterator(dir, none))
        if (entry.is_regular_file())
            files[entry.path()] = bytesOf(entry.path());
    return files;
}

// What a capture left in `out`: whole files only, under their final names.
void expectWholeOutput(
    int status, const std::map<fs::path, std::string>& before, const fs::path& out, const fs::path& scratch)
{
    const std::map<fs::path, std::string> after = filesUnder(out);
    const bool delivered = status == 0 || status > 128;
    for (const auto& [path, bytes] : after) {
        EXPECT_NE(path.filename().string()[0], '.') << "a partial file was left: " << path;
        if (path.extension() == ".png") {
            EXPECT_TRUE(bytes.ends_with(std::string("IEND\xae\x42\x60\x82", 8))) << "a truncated frame: " << path;
        } else if (delivered && !before.count(path)) {
            const ProcessResult probe = runProcess("ffprobe",
                {"-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0",
                    path.string()});
            EXPECT_GT(std::atoi(probe.out.c_str()), 0) << "a video that does not play: " << path << "\n" << probe.err;
        }
    }
    EXPECT_TRUE(fs::is_empty(scratch)) << "a scratch file was left in TMPDIR";
    if (delivered) {
        EXPECT_GT(after.size(), before.size()) << "nothing was captured";
    } else {
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(after.count(path) ? after.at(path) : "", bytes) << "a failed run changed " << path;
    }
}

MATCHER_P2(FitsTemplate, lineTemplate, dataDir, "fits \"" + std::string(lineTemplate) + "\"")
{
    return lineMatches(lineTemplate, arg, dataDir);
}

bool failedOrSkipped() { return ::testing::Test::HasFatalFailure() || ::testing::Test::IsSkipped(); }

// One case from set-up to verdict. Each step stops at a fatal failure or a
// skip, which run() then honours.
class FaultHarness {
public:
    explicit FaultHarness(const FaultCase& fault) : fault_(fault) { }

    void run()
    {
        prepare();
        if (!failedOrSkipped())
            connect();
        if (failedOrSkipped())
            return;
        const std::map<fs::path, std::string> outputBefore = filesUnder(run_.out);
        std::vector<std::string> args = run_.args;
        std::string program = BRINDLE_PROGRAM;
        if (!run_.shell.empty()) {
            args.insert(args.begin(), {"-c", run_.shell, program});
            program = "/bin/sh";
        }
        Process show(program, args, run_.env, run_.out);
        reachTheEnding(show);
        if (failedOrSkipped())
            return;
        end(show);
        check(show.finish(60), outputBefore);
    }

private:
    // A desktop session with a working sound device, on the X server of the
    // test run, then the case's own provocation and servers.
    void prepare()
    {
        if (xFullscreen_ && !modeDisplay_)
            GTEST_SKIP() << "needs the mode-switching X server: run under scripts/with-mode-server.sh";
        run_ = {root_.path() / "Data", {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync", "--stats"},
            {"SDL_AUDIODRIVER=dummy", "AUDIODEV=", "SDL_VIDEODRIVER=", "WAYLAND_DISPLAY=", "MESA_GL_VERSION_OVERRIDE=",
                "MESA_EXTENSION_OVERRIDE=", "XDG_RUNTIME_DIR=" + (root_.path() / "runtime").string(),
                "TMPDIR=" + scratch_.string()},
            root_.path() / "out", ""};
        if (fault_.fullscreen)
            run_.args = {"--no-dialog", "--fullscreen", "--size", "800x600", "--stats"};
        if (fault_.capture)
            run_.args = {"--capture", fault_.capture, "--size", "160x100", "--stats"};
        if (fault_.dialog)
            std::erase(run_.args, "--no-dialog");
        for (const fs::path& dir : {root_.path() / "runtime", scratch_, run_.out, run_.data})
            fs::create_directories(dir);
        fs::permissions(root_.path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        // Unchanged files are links to the build's; a case replaces the ones it breaks.
        for (const auto& entry : fs::directory_iterator(BRINDLE_DATA))
            fs::create_symlink(entry.path(), run_.data / entry.path().filename());
        // A Wayland case runs in the test run's session, or in one of its own when it kills the compositor.
        if (fault_.session != Session::X) {
            wayland_ = fault_.ending == Ending::CompositorKilled ? std::make_unique<WaylandSession>(1)
                                                                 : std::make_unique<WaylandSession>();
            if (!wayland_->ok())
                GTEST_SKIP() << "needs the Wayland test server: run under scripts/with-wayland-server.sh";
            const std::vector<std::string> env
                = fault_.session == Session::Wayland ? wayland_->nativeEnv() : wayland_->xwaylandEnv();
            run_.env.insert(run_.env.end(), env.begin(), env.end());
        }
        if (fault_.provoke)
            fault_.provoke(run_);
        // The live output reaches a server through its socket; none answers at an empty one.
        if (fault_.sound != SoundServer::Dummy) {
            ASSERT_TRUE(fault_.sound == SoundServer::Absent || sound_.start()) << "no private sound server";
            run_.env.insert(run_.env.end(),
                {"SDL_AUDIODRIVER=pulseaudio", "PULSE_SERVER=" + sound_.address(), "PIPEWIRE_RUNTIME_DIR="});
        }
        run_.args.insert(run_.args.end(), {"--data", run_.data.string()});
    }

    // The X server the case watches: its own, the mode-switching one, or the test run's.
    void connect()
    {
        const bool takesTheDisplay = std::any_of(
            run_.env.begin(), run_.env.end(), [](const std::string& e) { return e.starts_with("DISPLAY="); });
        if (fault_.ending == Ending::LoseDisplay) {
            // Xvfb picks a free display and prints its number once it takes connections.
            ownServer_.emplace("Xvfb",
                std::vector<std::string> {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
            ASSERT_TRUE(ownServer_->awaitText(STDOUT_FILENO, "\n", 10)) << "cannot start an X server of the case's own";
            ownDisplay_ = ":" + splitLines(ownServer_->outSoFar())[0];
            run_.env.push_back("DISPLAY=" + ownDisplay_);
        }
        const char* server = ownServer_ ? ownDisplay_.c_str()
            : wayland_                  ? nullptr
            : xFullscreen_              ? modeDisplay_
                                        : std::getenv("DISPLAY");
        if (!server && !takesTheDisplay)
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        if (server) {
            desktop_ = std::make_unique<XDesktop>(server);
            ASSERT_TRUE(desktop_->ok()) << "cannot connect to " << server;
            if (!ownServer_)
                modeBefore_ = desktop_->currentMode();
        }
        if (xFullscreen_) {
            ASSERT_TRUE(modeBefore_ && !(*modeBefore_ == kShowMode)) << "the server's desktop must run another mode";
            run_.env.push_back(std::string("DISPLAY=") + server);
        }
    }

    // Waits for what the ending meets: the show drawing, a capture begun or the dialog up.
    void reachTheEnding(Process& show)
    {
        const bool endsItself = fault_.ending == Ending::Itself && !fault_.signal;
        if (wayland_ && !endsItself) {
            ASSERT_TRUE(wayland_->waitForChange(60)) << "no window came up\n" << show.errSoFar();
            pause(1.0);
        } else if (fault_.capture && !endsItself) {
            // The first progress line comes with the first frame.
            ASSERT_TRUE(show.awaitText(STDERR_FILENO, " frames (", 60)) << "no capture began\n" << show.errSoFar();
            pause(0.5);
        } else if (fault_.dialog && !endsItself) {
            window_ = desktop_->waitForWindow(show.pid(), "brindle kiln 2.0", 60);
            ASSERT_TRUE(window_) << "no dialog\n" << show.errSoFar();
            pause(0.5);
        } else if (!endsItself || xFullscreen_) {
            window_ = desktop_->waitForWindow(show.pid(), "", 60);
            ASSERT_TRUE(window_ && desktop_->waitForPicture(window_, 60)) << "the show never drew\n" << show.errSoFar();
            if (xFullscreen_) {
                EXPECT_EQ(desktop_->currentMode(), kShowMode) << "the show did not switch the display";
            }
            loseTheSoundServer(show);
            pause(1.0);
        }
    }

    void loseTheSoundServer(Process& show)
    {
        const bool whilePaused = fault_.sound == SoundServer::KilledAndRestartedWhilePaused;
        if (fault_.sound != SoundServer::KilledAndRestarted && !whilePaused)
            return;
        ASSERT_TRUE(streamPlaysOn(sound_.address(), "brindle", 10)) << "the show's music never reached the server";
        if (whilePaused) {
            EXPECT_TRUE(desktop_->press(window_, "space"));
            ASSERT_FALSE(desktop_->pictureMoves(window_)) << "the show did not pause before its server went";
        }
        sound_.kill();
        pause(1.5);
        EXPECT_TRUE(show.running()) << "the show ended with its sound server";
        ASSERT_TRUE(sound_.start());
        EXPECT_TRUE(streamPlaysOn(sound_.address(), "brindle", 2.0)) << "the music was not back within 2 s";
        if (whilePaused) {
            EXPECT_TRUE(desktop_->press(window_, "space"));
        }
    }

    void end(Process& show)
    {
        if (fault_.signal) {
            show.signal(fault_.signal);
        } else if (fault_.ending == Ending::LoseDisplay) {
            // Our own connection goes first: Xlib would end this test for a lost one.
            desktop_.reset();
            ownServer_->signal(SIGTERM);
            ownServer_->finish(10);
        } else if (fault_.ending == Ending::CompositorKilled) {
            wayland_->killCompositor();
        } else if (fault_.ending == Ending::Escape || fault_.ending == Ending::Return) {
            const char* key = fault_.ending == Ending::Escape ? "Escape" : "Return";
            EXPECT_TRUE(wayland_ ? wayland_->press(key) : desktop_->press(window_, key));
        } else if (fault_.ending == Ending::CloseBox) {
            EXPECT_TRUE(desktop_->requestClose(window_));
        } else if (fault_.ending == Ending::StopAndContinue) {
            show.signal(SIGSTOP);
            pause(3.0);
            show.signal(SIGCONT);
            pause(1.5);
            EXPECT_TRUE(show.running()) << "the show ended after being continued";
            show.signal(SIGINT);
        }
        // Even when nothing of the program was left to put it back.
        if (xFullscreen_) {
            for (int i = 0; i < 3000 && show.running(); ++i)
                show.collect(20);
            EXPECT_TRUE(desktop_->waitForMode(*modeBefore_, 1.0)) << "the desktop's mode was not back within a second";
        }
    }

    void check(const ProcessResult& result, const std::map<fs::path, std::string>& outputBefore)
    {
        EXPECT_FALSE(result.timedOut) << "the program did not end in time\n"
                                      << result.err << (wayland_ ? "\ncompositor:\n" + wayland_->logTail() : "");
        EXPECT_FALSE(result.leftovers) << "a process outlived the program";
        EXPECT_EQ(result.status, fault_.status) << result.err;
        // A run long enough on a software renderer adds its one slow-renderer
        // line; whether it comes is the machine's speed, not the fault's. A
        // capture's progress lines and a bad option's usage, held apart, are not the fault's either.
        std::vector<std::string> lines = splitLines(result.err);
        std::erase_if(lines, [&](const std::string& line) {
            return lineMatches(
                       "brindle: {any} draws {any} frames a second; --size {any} would reach about 25", line, "")
                || lineMatches("brindle: {any}/{any} frames ({any}%), {any} fps, {any} left", line, "")
                || (fault_.status == 2 && !line.starts_with("brindle: "));
        });
        if (fault_.status == 2) {
            EXPECT_THAT(result.err, ::testing::HasSubstr("\nusage: brindle")) << "a bad option without the usage";
        }
        std::vector<::testing::Matcher<std::string>> expected;
        for (std::string_view lineTemplate : fault_.stderrLines)
            expected.push_back(FitsTemplate(lineTemplate, run_.data.string()));
        EXPECT_THAT(lines, ::testing::UnorderedElementsAreArray(expected)) << "stderr was\n" << result.err;
        const nlohmann::json stats = statsOf(result.out);
        if (fault_.status == 0) {
            EXPECT_GE(stats.value("frames", 0), 1) << "no frame drawn\n" << result.out;
        } else {
            EXPECT_TRUE(stats.empty()) << "statistics of a show that failed";
        }
        // The frame that spanned the stop proves the stop happened mid-show.
        if (fault_.ending == Ending::StopAndContinue) {
            EXPECT_GE(stats.value(nlohmann::json::json_pointer("/frame_ms/max"), 0.0), 2500) << result.out;
        }
        if (modeBefore_) {
            EXPECT_EQ(desktop_->currentMode(), modeBefore_) << "the screen's mode changed";
        }
        if (fault_.capture)
            expectWholeOutput(result.status, outputBefore, run_.out, scratch_);
    }

    const FaultCase& fault_;
    const char* modeDisplay_ = std::getenv("BRINDLE_MODE_DISPLAY");
    const bool xFullscreen_ = fault_.fullscreen && fault_.session == Session::X;
    ScratchDir root_ {"faults"};
    const fs::path scratch_ = root_.path() / "tmp";
    FaultRun run_;
    std::unique_ptr<WaylandSession> wayland_;
    PrivateSoundServer sound_ {root_.path() / "pulse"};
    std::optional<Process> ownServer_;  // an X server of the case's own, which it may kill
    std::string ownDisplay_;
    std::unique_ptr<XDesktop> desktop_;
    std::optional<ScreenMode> modeBefore_;
    unsigned long window_ = 0;
};

}  // namespace

void runFaultCase(const FaultCase& fault) { FaultHarness(fault).run(); }

bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir)
{
    std::string pattern(lineTemplate);
    for (size_t at = pattern.find("{data}"); at != std::string::npos; at = pattern.find("{data}", at + dataDir.size()))
        pattern.replace(at, 6, dataDir);
    // All but {any} is literal text.
    pattern = std::regex_replace(pattern, std::regex(R"([.^$|()[\]{}*+?\\])"), R"(\$&)");
    return std::regex_match(line, std::regex(std::regex_replace(pattern, std::regex(R"(\\\{any\\\})"), ".*")));
}
