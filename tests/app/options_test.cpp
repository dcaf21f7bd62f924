// The command line: every option read, bad ones refused with a reason, the
// launch settings resolved, and the README and manual page kept to the usage.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <tuple>
#include <vector>

#include "app/options.h"

namespace {

bool parse(std::vector<const char*> args, Options& options, std::string& error)
{
    args.insert(args.begin(), "brindle");
    return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(Options, EveryOptionIsReadAndAbsentOnesKeepTheDialogDefaults)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_FALSE(o.noDialog || o.width || o.fullscreen || o.aspect || o.vsync || o.fixedStep());

    // Of two options that set one thing, the later on the line wins.
    ASSERT_TRUE(
        parse({"--no-vsync", "--fullscreen", "--vsync", "--windowed", "--aspect", "4:3", "--aspect=auto"}, o, error));
    EXPECT_TRUE(*o.vsync);
    EXPECT_FALSE(*o.fullscreen);
    EXPECT_FALSE(o.aspect);

    // The process suites see what --no-dialog, --size, --data, --stats, --start, --from and --to do.
    ASSERT_TRUE(parse({"--audio-offset", "-1000"}, o, error)) << error;
    EXPECT_EQ(o.audioOffsetMs, -1000);

    // A master is a lossless .mkv, whatever the letter case of its name.
    ASSERT_TRUE(parse({"--capture", "master.MKV", "--lossless"}, o, error)) << error;

    ASSERT_TRUE(parse({"--bench"}, o, error));
    EXPECT_EQ(std::pair(o.framesPerSecond(), o.toMs), std::pair(60, 134000u));
}

TEST(Options, MalformedOrUnknownOptionsAreRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--windowed=yes"},
        {"--data", ""},
        {"--size"},
        {"--size", "640"},
        {"--size", "0x400"},
        {"--size", "99999x400"},
        {"--aspect", "16:11"},
        {"--fps", "0", "--bench"},
        {"--fps", "60"},
        {"--from", "10"},
        {"--capture", "a", "--bench"},
        {"--bench", "--from", "133999", "--to", "134000"},
        {"--start", "1.5"},
        {"--start", "5000", "--capture", "a"},
        {"--audio-offset", "-5", "--bench"},
        {"--frame-log", "f.csv", "--capture", "a"},
        {"--lossless"},
        {"--lossless", "--capture", "show.mp4"},
        {"--lossless", "--capture", "show.mkv.d/"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

// The command line over the desktop: what the dialog starts from and the window opens with.
TEST(Options, ResolveTheLaunchSettingsOverTheDesktop)
{
    using enum AspectCode;
    struct Row {
        std::vector<const char*> args;
        DisplayMode desktop;
        // width, height, size given, projected aspect, full screen, vsync, music, needs a display
        std::tuple<int, int, bool, AspectCode, bool, bool, bool, bool> expected;
    };
    for (const Row& row : std::vector<Row> {
             {{"--size", "640x480", "--windowed", "--aspect", "16:9", "--no-vsync", "--no-music"}, {1920, 1200},
                 {640, 480, true, Ratio16x9, false, false, false, true}},
             {{"--aspect", "auto"}, {1280, 1024}, {1280, 1024, false, Ratio5x4, true, true, true, true}},
             // Fixed-step frames run in a window that never waits for the display, which may be missing.
             {{"--capture", "out", "--vsync"}, {1024, 768}, {1024, 768, false, Ratio4x3, false, false, true, false}},
             {{"--bench", "--fullscreen"}, {}, {1280, 800, false, Ratio16x10, true, false, true, false}},
         }) {
        Options o;
        std::string error;
        ASSERT_TRUE(parse(row.args, o, error)) << error;
        const LaunchSettings s = resolveLaunchSettings(o, row.desktop);
        EXPECT_EQ(std::tuple(s.width, s.height, s.sizeGiven, s.aspectMode(), s.fullscreen, s.vsync, s.musicEnabled,
                      s.needsDisplay),
            row.expected)
            << (row.args.empty() ? "(none)" : row.args[0]);
    }
}

// The README's option list is the usage's, word for word; the manual page
// names every option (each "-" written "\-") and gives every range the usage prints.
TEST(Options, TheReadmeAndManualPageListWhatTheUsageLists)
{
    std::string block;  // the usage's option lines as a code block
    std::istringstream lines(usageText());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0)
            block += "  " + line + "\n";
    ASSERT_GE(std::count(block.begin(), block.end(), '\n'), 19);
    const auto text = [](const char* path) {
        std::ifstream in(path);
        return std::string {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    EXPECT_NE(text(BRINDLE_SOURCE_DIR "/README.md").find(block), std::string::npos)
        << "README's option list should read:\n" + block;
    const std::string man = text(BRINDLE_SOURCE_DIR "/dist/brindle.1");
    const std::regex blanks("\\s+");
    const std::string prose = std::regex_replace(std::regex_replace(man, std::regex("\\\\"), ""), blanks, " ");
    const std::string usage = std::regex_replace(block, blanks, " ");
    const std::regex named("--[a-z-]+|from -?[0-9]+ to [0-9]+");
    for (auto it = std::sregex_iterator(usage.begin(), usage.end(), named); it != std::sregex_iterator(); ++it) {
        const std::string item = it->str();
        const std::string written = item.starts_with("--") ? std::regex_replace(item, std::regex("-"), "\\-") : item;
        EXPECT_NE((item.starts_with("--") ? man : prose).find(written), std::string::npos) << item;
    }
}
