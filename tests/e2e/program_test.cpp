#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include "tests/support/x_close_request.h"

#include "child_process.h"

namespace {

const std::string kProgram = BRINDLE_PROGRAM;
const std::string kData = BRINDLE_TEST_DATA_DIR;
const std::vector<std::string> kWindowed = {"--no-dialog", "--windowed", "--size", "320x200", "--no-vsync"};

// A display for the GL cases: the X server when there is one, else SDL's offscreen driver.
std::vector<std::string> displayEnv(std::vector<std::string> env = {})
{
    if (!std::getenv("DISPLAY"))
        env.push_back("SDL_VIDEODRIVER=offscreen");
    return env;
}

// Our own lines on stderr; the GL driver may add its own.
void expectOneFailureLine(const ChildResult& r, const std::string& naming)
{
    EXPECT_NE(r.status, 0);
    EXPECT_LT(r.status, 128) << "killed by a signal";
    std::vector<std::string> ours;
    for (const std::string& line : linesOf(r.err))
        if (line.rfind("brindle: ", 0) == 0)
            ours.push_back(line);
    ASSERT_EQ(ours.size(), 1u) << r.err;
    EXPECT_NE(ours[0].find(naming), std::string::npos) << ours[0];
    EXPECT_EQ(r.out.find("brindle"), std::string::npos) << r.out;
}

// The show's window once `pid` has mapped it; 0 when it does not within 30 s.
Window waitForShowWindow(pid_t pid)
{
    const std::string command = "timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(pid)
        + " --name brindle2o16 2>/dev/null";
    unsigned long id = 0;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        if (std::fscanf(p, "%lu", &id) != 1)
            id = 0;
        pclose(p);
    }
    return static_cast<Window>(id);
}

// The window's picture as the X server holds it.
std::vector<char> grab(Display* display, Window window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return {};
    std::vector<char> pixels(image->data, image->data + image->bytes_per_line * image->height);
    XDestroyImage(image);
    return pixels;
}

// The frame count of one segment in the --stats line.
// The frames of one segment in the --stats JSON on stdout; -1 when absent.
int segmentFrames(const std::string& out, const std::string& segment)
{
    const nlohmann::json json = nlohmann::json::parse(out, nullptr, false);
    const nlohmann::json::json_pointer at("/segments/" + segment + "/frames");
    return json.is_discarded() || !json.contains(at) ? -1 : json[at].get<int>();
}

class ShowWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        if (!std::filesystem::exists(kData + "/music.mp3"))
            GTEST_SKIP() << "needs the generated Data folder";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override
    {
        if (display_)
            XCloseDisplay(display_);
    }

    Display* display_ = nullptr;
};

} // namespace

TEST(Program, BadOptionsExitTwoWithUsageAndHelpGoesToStdout)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--size", "640"}, {"--fps", "x", "--bench"}, {"--start", "134001"}, {"--start", "1s"}}) {
        const ChildResult r = runChild(kProgram, args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("usage: brindle"), std::string::npos) << args[0];
        EXPECT_TRUE(r.out.empty());
    }
    const ChildResult r = runChild(kProgram, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: brindle", 0), 0u);
}

TEST(Program, EachStartFailureIsOneLine)
{
    struct Case {
        std::vector<std::string> extraArgs, env;
        const char* naming;
    };
    const Case cases[] = {
        {{}, {"DISPLAY=:97", "SDL_VIDEODRIVER=x11", "WAYLAND_DISPLAY="}, "display"},
        {{}, displayEnv({"MESA_GL_VERSION_OVERRIDE=1.5"}), "older than OpenGL 2.0"},
        {{"--data", "/nonexistent/brindle-data"}, displayEnv({"SDL_AUDIODRIVER=dummy"}), "/nonexistent/brindle-data"},
        // Mesa cannot hide this extension alone: the blend extensions go too, and
        // the first unmet requirement is named.
        {{}, displayEnv({"MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object", "MESA_DEBUG=silent"}), "the GL driver"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = kWindowed;
        args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
        expectOneFailureLine(runChild(kProgram, args, c.env), c.naming);
    }
}

TEST_F(ShowWindowTest, EscapeCloseAndSigtermEndTheShowWithStatusZero)
{
    for (const char* how : {"escape", "close", "sigterm"}) {
        std::vector<std::string> args = kWindowed;
        args.insert(args.end(), {"--data", kData, "--no-music"});
        ChildProcess child = startChild(kProgram, args);
        const Window window = waitForShowWindow(child.pid);
        ASSERT_NE(window, 0u) << how;
        if (std::string(how) == "escape") {
            XSetInputFocus(display_, window, RevertToParent, CurrentTime);
            XSync(display_, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const std::string key = "xdotool windowfocus --sync " + std::to_string(window) + " key --clearmodifiers Escape";
            ASSERT_EQ(std::system(key.c_str()), 0);
        } else if (std::string(how) == "close") {
            sendCloseRequest(display_, window);
        } else {
            kill(child.pid, SIGTERM);
        }
        const ChildResult r = finishChild(child, 30);
        EXPECT_FALSE(r.timedOut) << how;
        EXPECT_EQ(r.status, 0) << how << ": " << r.err;
    }
}

TEST_F(ShowWindowTest, SpacePausesTheShowRightAndLeftJumpTenSeconds)
{
    std::vector<std::string> args = kWindowed;
    // Starting 6 s into the banners leaves seconds of slack for the time the
    // presses take before Left lands back inside the plus field (before 32 s).
    args.insert(args.end(), {"--data", kData, "--no-music", "--start", "38000", "--stats"});
    ChildProcess child = startChild(kProgram, args);
    const Window window = waitForShowWindow(child.pid);
    ASSERT_NE(window, 0u);
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
    auto press = [&](const char* key, int times = 1) {
        const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key --clearmodifiers --delay 50 "
            + [&] {
                  std::string keys;
                  for (int i = 0; i < times; ++i)
                      keys += std::string(i ? " " : "") + key;
                  return keys;
              }();
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    };
    auto pictureMoves = [&] {
        const std::vector<char> before = grab(display_, window);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return grab(display_, window) != before;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(pictureMoves()) << "the banner stretch runs";
    press("space");
    EXPECT_FALSE(pictureMoves()) << "paused, the picture holds";
    press("space");
    EXPECT_TRUE(pictureMoves()) << "resumed";
    press("Right", 4);  // into the swarm
    press("Left", 5);   // back into the plus field, which 38 s never reaches
    press("Escape");
    const ChildResult r = finishChild(child, 30);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(segmentFrames(r.out, "intro"), 0) << r.out;
    EXPECT_GT(segmentFrames(r.out, "swarm"), 0) << r.out;
    EXPECT_GT(segmentFrames(r.out, "plus"), 0) << r.out;
    EXPECT_TRUE(nlohmann::json::parse(r.out, nullptr, false).contains("relock_ms")) << r.out;
}
