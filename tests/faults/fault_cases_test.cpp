// The program run against broken machines and broken files. Each case starts
// the real brindle, provokes one fault, and holds it to its row of the fault
// table: exit status, the exact stderr lines, frames drawn when the show is
// meant to run, nothing left running, and the screen's mode as it was.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <thread>

#include <nlohmann/json.hpp>

#include "fault_table.h"
#include "show_process.h"
#include "x_desktop.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const fs::path kBuiltData = BRINDLE_DATA;
const std::vector<std::string> kSmallWindow = {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync"};

void pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::remove(path);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> randomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
    return bytes;
}

// The number at `at` ("/frame_ms/max") in the --stats JSON on stdout; -1 when
// there is no such JSON or no number there.
double statsNumber(const std::string& out, const char* at) {
    const nlohmann::json json = nlohmann::json::parse(out, nullptr, false);
    const nlohmann::json::json_pointer pointer(at);
    if (json.is_discarded() || !json.contains(pointer) || !json[pointer].is_number()) return -1;
    return json[pointer].get<double>();
}

class FaultSuite : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kBuiltData / "music.mp3")) GTEST_SKIP() << "needs the generated Data folder";
        char pattern[] = "/tmp/brindle-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        data_ = root_ / "Data";
        fs::create_directories(data_);
        fs::create_directories(root_ / "runtime");
        fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        // Unchanged files are links to the build's; a case replaces the ones it breaks.
        for (const auto& entry : fs::directory_iterator(kBuiltData)) {
            fs::create_symlink(entry.path(), data_ / entry.path().filename());
        }
        if (std::getenv("DISPLAY")) {
            desktop_ = std::make_unique<XDesktop>();
            ASSERT_TRUE(desktop_->ok()) << "cannot connect to DISPLAY";
            modeBefore_ = desktop_->currentMode();
        }
    }

    void TearDown() override {
        desktop_.reset();
        if (!root_.empty()) fs::remove_all(root_);
    }

    // A desktop session with a working sound device and the X server of the test run.
    EnvChanges desktopEnv() const {
        return {{"SDL_AUDIODRIVER", "dummy"},   {"AUDIODEV", std::nullopt},
                {"SDL_VIDEODRIVER", std::nullopt}, {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
                {"MESA_GL_VERSION_OVERRIDE", std::nullopt}, {"MESA_EXTENSION_OVERRIDE", std::nullopt}};
    }

    void needDisplay() {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    }

    std::vector<std::string> showArgs(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> args = kSmallWindow;
        args.insert(args.end(), {"--stats", "--data", data_.string()});
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    ShowOutcome runUntilItEnds(const EnvChanges& env, const std::vector<std::string>& args = {}) {
        ShowProcess show = ShowProcess::start(kProgram, args.empty() ? showArgs() : args, env);
        return show.finish(60);
    }

    // Waits until the show is drawing frames in its window; 0 when it never does.
    unsigned long waitForShow(const ShowProcess& show) {
        const unsigned long window = desktop_->waitForWindow(show.pid(), 60);
        if (window == 0 || !desktop_->waitForPicture(window, 60)) return 0;
        return window;
    }

    // Starts the show, waits until it draws, lets it run briefly, then ends it with SIGINT.
    ShowOutcome runThenInterrupt(const EnvChanges& env) {
        ShowProcess show = ShowProcess::start(kProgram, showArgs(), env);
        EXPECT_NE(waitForShow(show), 0u) << "the show never drew a frame";
        pause(1.0);
        show.signal(SIGINT);
        return show.finish(60);
    }

    void expectFault(std::string_view id, const ShowOutcome& outcome) {
        const FaultExpectation& expected = expectationFor(id);
        EXPECT_FALSE(outcome.timedOut) << id << ": the program did not end in time\n" << outcome.err;
        EXPECT_FALSE(outcome.leftovers) << id << ": a process outlived the program";
        EXPECT_EQ(outcome.status, expected.status) << id << "\n" << outcome.err;
        EXPECT_EQ(unmatchedLines(expected.stderrLines, splitLines(outcome.err), data_.string()), "")
            << id << ": stderr was\n" << outcome.err;
        if (expected.status == 0) {
            EXPECT_GE(statsNumber(outcome.out, "/frames"), 1) << id << ": no frame drawn\n" << outcome.out;
        } else {
            EXPECT_EQ(statsNumber(outcome.out, "/frames"), -1) << id << ": statistics of a show that failed";
        }
        if (modeBefore_) {
            EXPECT_EQ(desktop_->currentMode(), modeBefore_) << id << ": the screen's mode changed";
        }
    }

    fs::path root_, data_;
    std::unique_ptr<XDesktop> desktop_;
    std::optional<ScreenMode> modeBefore_;
};

}  // namespace

TEST_F(FaultSuite, MissingDataFolderIsOneLine) {
    needDisplay();
    data_ = root_ / "no-such-folder";
    expectFault("no-data-folder", runUntilItEnds(desktopEnv()));
}

TEST_F(FaultSuite, MissingImageLeavesItBlankWithOneWarning) {
    needDisplay();
    fs::remove(data_ / "plus.p");
    expectFault("missing-image", runThenInterrupt(desktopEnv()));
}

TEST_F(FaultSuite, BrokenImagesAreNamedAndTheShowRuns) {
    needDisplay();
    std::vector<uint8_t> reserved = readBytes(kBuiltData / "qn.p");
    ASSERT_GT(reserved.size(), 64u);
    reserved[64] = 1;
    writeBytes(data_ / "qn.p", reserved);
    std::vector<uint8_t> truncated = readBytes(kBuiltData / "dot.p");
    truncated.resize(truncated.size() / 2);
    writeBytes(data_ / "dot.p", truncated);
    writeBytes(data_ / "square.p", randomBytes(30000, 8));
    expectFault("broken-images", runThenInterrupt(desktopEnv()));
}

TEST_F(FaultSuite, MissingOrCorruptMusicIsOneLine) {
    needDisplay();
    fs::remove(data_ / "music.mp3");
    expectFault("missing-music", runUntilItEnds(desktopEnv()));
    writeBytes(data_ / "music.mp3", randomBytes(200000, 3));
    expectFault("corrupt-music", runUntilItEnds(desktopEnv()));
}

TEST_F(FaultSuite, NoAudioDeviceRunsSilentlyWithOneWarning) {
    needDisplay();
    EnvChanges env = desktopEnv();
    env["SDL_AUDIODRIVER"] = "alsa";
    env["AUDIODEV"] = "hw:97";
    expectFault("no-audio-device", runThenInterrupt(env));
}

TEST_F(FaultSuite, OldOrIncompleteGLIsOneLine) {
    needDisplay();
    EnvChanges env = desktopEnv();
    env["MESA_GL_VERSION_OVERRIDE"] = "1.5";
    expectFault("old-gl", runUntilItEnds(env));
    env = desktopEnv();
    env["MESA_EXTENSION_OVERRIDE"] = "-GL_EXT_framebuffer_object";
    expectFault("hidden-framebuffer-extension", runUntilItEnds(env));
}

TEST_F(FaultSuite, NoDisplayIsOneLine) {
    EnvChanges env = desktopEnv();
    env["DISPLAY"] = std::nullopt;
    env["WAYLAND_DISPLAY"] = std::nullopt;
    ShowProcess show = ShowProcess::start(kProgram, showArgs(), env);
    modeBefore_.reset();
    expectFault("no-display", show.finish(30));
}

TEST_F(FaultSuite, EscapeWindowCloseAndSigintEndTheShowCleanly) {
    needDisplay();
    XDesktop& desktop = *desktop_;
    for (std::string_view id : {"escape", "window-close", "sigint"}) {
        ShowProcess show = ShowProcess::start(kProgram, showArgs(), desktopEnv());
        const unsigned long window = waitForShow(show);
        ASSERT_NE(window, 0u) << id;
        pause(1.5);
        if (id == "escape") EXPECT_TRUE(desktop.pressEscape(window));
        else if (id == "window-close") desktop.requestClose(window);
        else show.signal(SIGINT);
        expectFault(id, show.finish(60));
    }
}

// Every way out of a full-screen show on a server that really switches modes:
// the show runs in its own mode, and the desktop's is back within a second of
// the program's end, even when nothing of the program was left to put it back.
TEST_F(FaultSuite, EveryWayOutOfFullScreenGivesTheDesktopItsModeBack) {
    const char* modeDisplay = std::getenv("BRINDLE_MODE_DISPLAY");
    if (!modeDisplay) GTEST_SKIP() << "needs the mode-switching X server: run under scripts/with-mode-server.sh";
    desktop_ = std::make_unique<XDesktop>(modeDisplay);
    XDesktop& desktop = *desktop_;
    ASSERT_TRUE(desktop.ok()) << "cannot connect to " << modeDisplay;
    modeBefore_ = desktop.currentMode();
    const ScreenMode shown{800, 600};
    ASSERT_TRUE(modeBefore_ && !(*modeBefore_ == shown)) << "the server's desktop must run another mode than 800x600";

    struct WayOut {
        std::string_view id;
        int signal;  // 0: a key, the close box or the show's end
    };
    const WayOut waysOut[] = {
        {"fullscreen-end", 0},          {"fullscreen-escape", 0},       {"fullscreen-window-close", 0},
        {"fullscreen-sigint", SIGINT},  {"fullscreen-sigterm", SIGTERM}, {"fullscreen-sigkill", SIGKILL},
        {"fullscreen-sigsegv", SIGSEGV}, {"fullscreen-sigabrt", SIGABRT},
    };
    for (const WayOut& way : waysOut) {
        EnvChanges env = desktopEnv();
        env["DISPLAY"] = modeDisplay;
        // A crash as the kernel delivers it, not as a sanitizer build would report it.
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        if (way.signal == SIGSEGV) env["ASAN_OPTIONS"] = std::string(sanitizer ? sanitizer : "") + ":handle_segv=0";
        std::vector<std::string> args = {"--no-dialog", "--fullscreen", "--size", "800x600", "--stats",
                                         "--data",      data_.string()};
        // The live show opened six seconds before its end, which it then reaches by itself.
        if (way.id == "fullscreen-end") args.insert(args.end(), {"--start", "128000"});

        ShowProcess show = ShowProcess::start(kProgram, args, env);
        const unsigned long window = waitForShow(show);
        ASSERT_NE(window, 0u) << way.id << ": the show never drew a frame\n" << show.errSoFar();
        EXPECT_EQ(desktop.currentMode(), shown) << way.id << ": the show did not switch the display";
        if (way.id == "fullscreen-escape") EXPECT_TRUE(desktop.pressEscape(window));
        else if (way.id == "fullscreen-window-close") desktop.requestClose(window);
        else if (way.signal) show.signal(way.signal);
        for (int i = 0; i < 3000 && show.running(); ++i) show.collect(20);
        EXPECT_TRUE(desktop.waitForMode(*modeBefore_, 1.0))
            << way.id << ": the desktop's mode was not back within a second of the end";
        expectFault(way.id, show.finish(60));
    }
}

TEST_F(FaultSuite, StoppedAndContinuedShowGoesOn) {
    needDisplay();
    ShowProcess show = ShowProcess::start(kProgram, showArgs(), desktopEnv());
    ASSERT_NE(waitForShow(show), 0u);
    pause(1.0);
    show.signal(SIGSTOP);
    pause(3.0);
    show.signal(SIGCONT);
    pause(1.5);
    EXPECT_TRUE(show.running()) << "the show ended after being continued";
    show.signal(SIGINT);
    const ShowOutcome outcome = show.finish(60);
    expectFault("stopped-and-continued", outcome);
    // The frame that spanned the stop proves the stop happened mid-show.
    EXPECT_GE(statsNumber(outcome.out, "/frame_ms/max"), 2500) << outcome.out;
}
