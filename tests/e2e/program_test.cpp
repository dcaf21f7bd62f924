#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

void expectOneFailureLine(const ChildResult& r, const std::string& naming)
{
    EXPECT_NE(r.status, 0);
    EXPECT_LT(r.status, 128) << "killed by a signal";
    const auto lines = linesOf(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("brindle: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(naming), std::string::npos) << lines[0];
    EXPECT_TRUE(r.out.empty()) << r.out;
}

// The top-level X window titled like the show's, owned by `pid`; 0 until it appears.
Window findShowWindow(Display* display, pid_t pid)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            Atom type;
            int format;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (std::string(name) == "brindle2o16"
                && XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                      &after, &data) == Success
                && data && items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid)
                found = children[i];
            if (data)
                XFree(data);
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

Window waitForShowWindow(Display* display, pid_t pid)
{
    for (int i = 0; i < 300; ++i) {
        if (Window w = findShowWindow(display, pid))
            return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

// What a window manager sends when the close box is clicked.
void requestClose(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
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

    ChildProcess startShow()
    {
        std::vector<std::string> args = kWindowed;
        args.insert(args.end(), {"--data", kData, "--no-music"});
        return startChild(kProgram, args);
    }

    Display* display_ = nullptr;
};

} // namespace

TEST(Program, UnknownOrMalformedOptionsPrintUsageAndExitTwo)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--size", "640"}, {"--aspect", "3:2"}, {"--size"}, {"--fps", "x", "--bench"}}) {
        const ChildResult r = runChild(kProgram, args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("usage: brindle"), std::string::npos) << args[0];
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(Program, HelpAndVersionPrintOnStdout)
{
    ChildResult r = runChild(kProgram, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: brindle", 0), 0u);
    r = runChild(kProgram, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("brindle ", 0), 0u);
    EXPECT_TRUE(r.err.empty());
}

TEST(Program, NoDisplayIsOneLine)
{
    const ChildResult r = runChild(kProgram, kWindowed, {"DISPLAY=:97", "SDL_VIDEODRIVER=x11", "WAYLAND_DISPLAY="});
    expectOneFailureLine(r, "display");
}

TEST(Program, AnOldGLIsOneLineBeforeAnyFrame)
{
    const ChildResult r = runChild(kProgram, kWindowed, displayEnv({"MESA_GL_VERSION_OVERRIDE=1.5"}));
    expectOneFailureLine(r, "older than OpenGL 2.0");
}

TEST(Program, AHiddenFramebufferExtensionIsOneLine)
{
    // Mesa cannot drop this extension alone: hiding it also hides the always-on
    // blend extensions, so the first unmet requirement is reported.
    const ChildResult r = runChild(kProgram, kWindowed,
                                   displayEnv({"MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object",
                                               "MESA_DEBUG=silent"}));
    EXPECT_NE(r.status, 0);
    std::vector<std::string> ours;
    for (const std::string& line : linesOf(r.err))
        if (line.rfind("brindle: ", 0) == 0)
            ours.push_back(line);
    ASSERT_EQ(ours.size(), 1u) << r.err;
    EXPECT_NE(ours[0].find("the GL driver"), std::string::npos) << ours[0];
}

TEST(Program, AMissingDataFolderIsOneLine)
{
    std::vector<std::string> args = kWindowed;
    args.insert(args.end(), {"--data", "/nonexistent/brindle-data"});
    const ChildResult r = runChild(kProgram, args, displayEnv({"SDL_AUDIODRIVER=dummy"}));
    EXPECT_NE(r.status, 0);
    EXPECT_LT(r.status, 128);
    EXPECT_NE(r.err.find("brindle: "), std::string::npos);
    EXPECT_NE(r.err.find("/nonexistent/brindle-data"), std::string::npos) << r.err;
}

TEST_F(ShowWindowTest, EscapeEndsTheShowWithStatusZero)
{
    ChildProcess child = startShow();
    const Window window = waitForShowWindow(display_, child.pid);
    ASSERT_NE(window, 0u);
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string id = std::to_string(window);
    ASSERT_EQ(std::system(("xdotool windowfocus --sync " + id + " key --clearmodifiers Escape").c_str()), 0);
    const ChildResult r = finishChild(child, 30);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ShowWindowTest, ClosingTheWindowEndsTheShowWithStatusZero)
{
    ChildProcess child = startShow();
    const Window window = waitForShowWindow(display_, child.pid);
    ASSERT_NE(window, 0u);
    requestClose(display_, window);
    const ChildResult r = finishChild(child, 30);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ShowWindowTest, TerminationSignalEndsTheShowWithStatusZero)
{
    ChildProcess child = startShow();
    ASSERT_NE(waitForShowWindow(display_, child.pid), 0u);
    kill(child.pid, SIGTERM);
    const ChildResult r = finishChild(child, 30);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
}
