// The program run against broken machines and broken files. Each case starts
// the real brindle, provokes one fault, and holds it to its row of the fault
// table: exit status, the exact stderr lines, frames drawn when the show is
// meant to run, nothing left running, and the screen's mode as it was.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

#include "fault_table.h"
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

// A private X server that a case may kill.
class OwnXServer {
public:
    OwnXServer()
    {
        for (int number = 150; number < 250 && name_.empty(); ++number) {
            if (fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))
                continue;
            server_ = std::make_unique<Process>("Xvfb",
                std::vector<std::string> {":" + std::to_string(number), "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
            const fs::path socket = "/tmp/.X11-unix/X" + std::to_string(number);
            for (int i = 0; i < 100 && server_->running() && !fs::exists(socket); ++i)
                pause(0.1);
            if (fs::exists(socket))
                name_ = ":" + std::to_string(number);
        }
    }
    const std::string& name() const { return name_; }
    void kill() { server_->signal(SIGTERM); server_->finish(10); }

private:
    std::unique_ptr<Process> server_;
    std::string name_;
};

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
void expectWholeOutput(int status, const std::map<fs::path, std::string>& before,
    const fs::path& out, const fs::path& scratch)
{
    const std::map<fs::path, std::string> after = filesUnder(out);
    for (const auto& [path, bytes] : after) {
        EXPECT_NE(path.filename().string()[0], '.') << "a partial file was left: " << path;
        if (path.extension() == ".png") {
            EXPECT_TRUE(bytes.ends_with(std::string("IEND\xae\x42\x60\x82", 8))) << "a truncated frame: " << path;
        }
    }
    EXPECT_TRUE(fs::is_empty(scratch)) << "a scratch file was left in TMPDIR";
    const bool delivered = status == 0 || status > 128;
    if (delivered) {
        EXPECT_GT(after.size(), before.size()) << "nothing was captured";
    } else {
        for (const auto& [path, bytes] : before)
            EXPECT_EQ(after.count(path) ? after.at(path) : "", bytes) << "a failed run changed " << path;
    }
}

class FaultSuite : public ::testing::TestWithParam<FaultCase> { };

}  // namespace

TEST_P(FaultSuite, HoldsToItsRow)
{
    const FaultCase& fault = GetParam();
    const char* modeDisplay = std::getenv("BRINDLE_MODE_DISPLAY");
    const bool xFullscreen = fault.fullscreen && fault.session == Session::X;
    if (xFullscreen && !modeDisplay)
        GTEST_SKIP() << "needs the mode-switching X server: run under scripts/with-mode-server.sh";

    // A desktop session with a working sound device, on the X server of the test run.
    ScratchDir root("faults");
    const fs::path scratch = root.path() / "tmp";
    FaultRun run {root.path() / "Data", {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync", "--stats"},
        {"SDL_AUDIODRIVER=dummy", "AUDIODEV=", "SDL_VIDEODRIVER=", "WAYLAND_DISPLAY=", "MESA_GL_VERSION_OVERRIDE=",
            "MESA_EXTENSION_OVERRIDE=", "XDG_RUNTIME_DIR=" + (root.path() / "runtime").string(),
            "TMPDIR=" + scratch.string()},
        root.path() / "out", ""};
    if (fault.fullscreen)
        run.args = {"--no-dialog", "--fullscreen", "--size", "800x600", "--stats"};
    if (fault.capture)
        run.args = {"--capture", fault.capture, "--size", "160x100", "--stats"};
    if (fault.dialog)
        std::erase(run.args, "--no-dialog");
    for (const fs::path& dir : {root.path() / "runtime", scratch, run.out})
        fs::create_directories(dir);
    fs::permissions(root.path() / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    // Unchanged files are links to the build's; a case replaces the ones it breaks.
    fs::create_directories(run.data);
    for (const auto& entry : fs::directory_iterator(BRINDLE_DATA))
        fs::create_symlink(entry.path(), run.data / entry.path().filename());
    // A Wayland case runs in the test run's session, or in one of its own when it kills the compositor.
    std::unique_ptr<WaylandSession> wayland;
    if (fault.session != Session::X) {
        wayland = fault.ending == Ending::CompositorKilled ? std::make_unique<WaylandSession>(1)
                                                           : std::make_unique<WaylandSession>();
        if (!wayland->ok())
            GTEST_SKIP() << "needs the Wayland test server: run under scripts/with-wayland-server.sh";
        const std::vector<std::string> env
            = fault.session == Session::Wayland ? wayland->nativeEnv() : wayland->xwaylandEnv();
        run.env.insert(run.env.end(), env.begin(), env.end());
    }
    if (fault.provoke)
        fault.provoke(run);
    // The live output reaches a server through its socket; none answers at an empty one.
    PrivateSoundServer sound(root.path() / "pulse");
    if (fault.sound != SoundServer::Dummy) {
        ASSERT_TRUE(fault.sound == SoundServer::Absent || sound.start()) << "no private sound server";
        run.env.insert(run.env.end(),
            {"SDL_AUDIODRIVER=pulseaudio", "PULSE_SERVER=" + sound.address(), "PIPEWIRE_RUNTIME_DIR="});
    }
    run.args.insert(run.args.end(), {"--data", run.data.string()});

    const bool takesTheDisplay
        = std::any_of(run.env.begin(), run.env.end(), [](const std::string& e) { return e.starts_with("DISPLAY="); });
    std::optional<OwnXServer> ownServer;
    if (fault.ending == Ending::LoseDisplay) {
        ownServer.emplace();
        ASSERT_FALSE(ownServer->name().empty()) << "cannot start an X server of the case's own";
        run.env.push_back("DISPLAY=" + ownServer->name());
    }
    const char* server = ownServer ? ownServer->name().c_str()
        : wayland                  ? nullptr
        : xFullscreen              ? modeDisplay
                                   : std::getenv("DISPLAY");
    if (!server && !takesTheDisplay)
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    std::unique_ptr<XDesktop> desktop;
    std::optional<ScreenMode> modeBefore;
    if (server) {
        desktop = std::make_unique<XDesktop>(server);
        ASSERT_TRUE(desktop->ok()) << "cannot connect to " << server;
        if (!ownServer)
            modeBefore = desktop->currentMode();
    }
    if (xFullscreen) {
        ASSERT_TRUE(modeBefore && !(*modeBefore == kShowMode)) << "the server's desktop must run another mode";
        run.env.push_back(std::string("DISPLAY=") + server);
    }
    const std::map<fs::path, std::string> outputBefore = filesUnder(run.out);

    std::vector<std::string> args = run.args;
    std::string program = BRINDLE_PROGRAM;
    if (!run.shell.empty()) {
        args.insert(args.begin(), {"-c", run.shell, program});
        program = "/bin/sh";
    }
    Process show(program, args, run.env, run.out);
    unsigned long window = 0;
    if (fault.ending == Ending::CompositorKilled) {
        ASSERT_TRUE(wayland->waitForChange(60)) << "the show never drew\n" << show.errSoFar();
        pause(1.0);
        wayland->killCompositor();
    } else if (fault.capture && fault.ending != Ending::Itself) {
        // The first progress line comes with the first frame.
        for (int i = 0; i < 600 && show.running() && show.errSoFar().find(" frames (") == std::string::npos; ++i)
            show.collect(100);
        ASSERT_NE(show.errSoFar().find(" frames ("), std::string::npos) << "the capture never began\n" << show.errSoFar();
        pause(0.5);
    } else if (fault.dialog && fault.ending != Ending::Itself) {
        ASSERT_TRUE(desktop->waitForWindow(show.pid(), "brindle kiln 2.0", 60)) << "no dialog\n" << show.errSoFar();
        pause(0.5);
    } else if (fault.ending != Ending::Itself || xFullscreen) {
        window = desktop->waitForWindow(show.pid(), "", 60);
        ASSERT_TRUE(window && desktop->waitForPicture(window, 60)) << "the show never drew\n" << show.errSoFar();
        if (xFullscreen) {
            EXPECT_EQ(desktop->currentMode(), kShowMode) << "the show did not switch the display";
        }
        const bool whilePaused = fault.sound == SoundServer::KilledAndRestartedWhilePaused;
        if (fault.sound == SoundServer::KilledMidShow || fault.sound == SoundServer::KilledAndRestarted
            || whilePaused) {
            ASSERT_TRUE(sound.waitForStream(10)) << "the show's music never reached the server";
            if (whilePaused) {
                EXPECT_TRUE(desktop->press(window, "space"));
                ASSERT_FALSE(desktop->pictureMoves(window)) << "the show did not pause before its server went";
            }
            sound.kill();
            pause(1.5);
            EXPECT_TRUE(show.running()) << "the show ended with its sound server";
        }
        if (fault.sound == SoundServer::KilledAndRestarted || whilePaused) {
            ASSERT_TRUE(sound.start());
            EXPECT_TRUE(sound.waitForStream(2.0)) << "the music was not back within 2 s";
        }
        if (whilePaused) {
            EXPECT_TRUE(desktop->press(window, "space"));
        }
        pause(1.0);
    }
    if (fault.ending != Ending::Itself) {
        if (fault.ending == Ending::LoseDisplay) {
            // Our own connection goes first: Xlib would end this test for a lost one.
            desktop.reset();
            ownServer->kill();
        } else if (fault.ending == Ending::Escape) {
            EXPECT_TRUE(desktop->press(window, "Escape"));
        } else if (fault.ending == Ending::CloseBox) {
            EXPECT_TRUE(desktop->requestClose(window));
        } else if (fault.ending == Ending::Signal) {
            show.signal(fault.signal);
        } else if (fault.ending == Ending::StopAndContinue) {
            show.signal(SIGSTOP);
            pause(3.0);
            show.signal(SIGCONT);
            pause(1.5);
            EXPECT_TRUE(show.running()) << "the show ended after being continued";
            show.signal(SIGINT);
        }
    }
    // Even when nothing of the program was left to put it back.
    if (xFullscreen) {
        for (int i = 0; i < 3000 && show.running(); ++i)
            show.collect(20);
        EXPECT_TRUE(desktop->waitForMode(*modeBefore, 1.0)) << "the desktop's mode was not back within a second";
    }

    const ProcessResult result = show.finish(60);
    EXPECT_FALSE(result.timedOut) << "the program did not end in time\n"
                                  << result.err << (wayland ? "\ncompositor:\n" + wayland->logTail() : "");
    EXPECT_FALSE(result.leftovers) << "a process outlived the program";
    EXPECT_EQ(result.status, fault.status) << result.err;
    // A run long enough on a software renderer adds its one slow-renderer line; whether it
    // comes is the machine's speed, not the fault's.
    std::vector<std::string> lines = splitLines(result.err);
    // A capture's progress lines and a bad option's usage are not the fault's.
    std::erase_if(lines, [&](const std::string& line) {
        return lineMatches("brindle: {any} draws {any} frames a second; --size {any} would reach about 25", line, "")
            || lineMatches("brindle: {any}/{any} frames ({any}%), {any} fps, {any} left", line, "")
            || (fault.status == 2 && !line.starts_with("brindle: "));
    });
    EXPECT_EQ(unmatchedLines(fault.stderrLines, lines, run.data.string()), "") << "stderr was\n" << result.err;
    const nlohmann::json stats = statsOf(result.out);
    if (fault.status == 0) {
        EXPECT_GE(stats.value("frames", 0), 1) << "no frame drawn\n" << result.out;
    } else {
        EXPECT_TRUE(stats.empty()) << "statistics of a show that failed";
    }
    // The frame that spanned the stop proves the stop happened mid-show.
    if (fault.ending == Ending::StopAndContinue) {
        EXPECT_GE(stats.value(nlohmann::json::json_pointer("/frame_ms/max"), 0.0), 2500) << result.out;
    }
    if (modeBefore) {
        EXPECT_EQ(desktop->currentMode(), modeBefore) << "the screen's mode changed";
    }
    if (fault.capture)
        expectWholeOutput(result.status, outputBefore, run.out, scratch);
}

INSTANTIATE_TEST_SUITE_P(
    Robustness, FaultSuite, ::testing::ValuesIn(faultTable()), [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name(info.param.id);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });
