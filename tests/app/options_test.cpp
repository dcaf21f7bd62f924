#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "app/options.h"

namespace {

bool parse(std::vector<const char*> args, Options& options, std::string& error)
{
    args.insert(args.begin(), "brindle");
    return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

} // namespace

TEST(Options, EveryOptionIsReadAndAbsentOnesKeepTheDialogDefaults)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_FALSE(o.noDialog || o.width || o.fullscreen || o.aspect || o.vsync || o.fixedStep());

    ASSERT_TRUE(parse({"--no-dialog", "--size", "640x400", "--windowed", "--aspect", "16:10", "--no-music",
                       "--no-vsync", "--data=/tmp/d", "--stats", "--start", "110000"},
                      o, error))
        << error;
    EXPECT_TRUE(o.noDialog && o.noMusic && o.stats);
    EXPECT_EQ(*o.width, 640);
    EXPECT_EQ(*o.height, 400);
    EXPECT_FALSE(*o.fullscreen);
    EXPECT_EQ(*o.aspect, AspectCode::Ratio16x10);
    EXPECT_FALSE(*o.vsync);
    EXPECT_EQ(o.dataDir, "/tmp/d");
    EXPECT_EQ(*o.startMs, 110000u);
    ASSERT_TRUE(parse({"--start=133999"}, o, error)) << error;
    EXPECT_EQ(*o.startMs, 133999u);

    // Of two options that set one thing, the later on the line wins.
    ASSERT_TRUE(parse({"--no-vsync", "--fullscreen", "--vsync", "--windowed", "--aspect", "4:3", "--aspect=auto"},
                      o, error));
    EXPECT_TRUE(*o.vsync);
    EXPECT_FALSE(*o.fullscreen);
    EXPECT_FALSE(o.aspect);
}

TEST(Options, CaptureAndBenchTakeRateAndSpan)
{
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--capture", "out.mp4", "--fps", "30", "--from", "2000", "--to=4000"}, o, error)) << error;
    EXPECT_EQ(o.captureOut, "out.mp4");
    EXPECT_EQ(o.framesPerSecond(), 30);
    EXPECT_EQ(o.fromMs, 2000u);
    EXPECT_EQ(o.toMs, 4000u);
    EXPECT_TRUE(o.fixedStep());

    ASSERT_TRUE(parse({"--bench"}, o, error));
    EXPECT_EQ(o.framesPerSecond(), 60);
    EXPECT_EQ(o.toMs, 134000u);
}

TEST(Options, MalformedOrUnknownOptionsAreRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"-x"},
        {"stray"},
        {"--size"},
        {"--size", "640"},
        {"--size", "640x"},
        {"--size", "x400"},
        {"--size", "0x400"},
        {"--size", "-640x400"},
        {"--size", "640x400x2"},
        {"--size", "99999x400"},
        {"--aspect", "16:11"},
        {"--windowed=yes"},
        {"--data", ""},
        {"--fps", "0", "--bench"},
        {"--fps", "60"},
        {"--from", "10"},
        {"--capture", "a", "--from", "5000", "--to", "5000"},
        {"--capture", "a", "--to", "134001"},
        {"--capture", "a", "--bench"},
        {"--start", "134000"},
        {"--start", "-1"},
        {"--start", "1.5"},
        {"--start"},
        {"--start", "5000", "--capture", "a"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> splitTerms(const std::string& names)
{
    std::vector<std::string> terms;
    size_t start = 0;
    for (size_t at; (at = names.find(", ", start)) != std::string::npos; start = at + 2)
        terms.push_back(names.substr(start, at - start));
    terms.push_back(names.substr(start));
    return terms;
}

// "--size WxH" and the like, from the left column of the usage text.
std::vector<std::string> usageTerms()
{
    std::vector<std::string> terms;
    std::istringstream lines(usageText());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  -", 0) == 0) {
            for (const std::string& term : splitTerms(line.substr(2, line.find("  ", 2) - 2)))
                terms.push_back(term);
        }
    }
    return terms;
}

// The same from the item heads of the manual page's OPTIONS section, whose
// font macros alternate their arguments without spaces: .BI \-\-size " W" x H
std::vector<std::string> manualTerms()
{
    std::vector<std::string> terms;
    std::istringstream lines(readFile(BRINDLE_SOURCE_DIR "/dist/brindle.1"));
    bool inOptions = false, head = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0)
            inOptions = line == ".SH OPTIONS";
        if (!inOptions)
            continue;
        if (line == ".TP" || line == ".TQ") {
            head = true;
            continue;
        }
        if (!head)
            continue;
        head = false;
        std::string text;
        bool quoted = false;
        for (size_t i = line.find(' ') + 1; i < line.size(); ++i) {
            if (line[i] == '"')
                quoted = !quoted;
            else if (line[i] != '\\' && (quoted || line[i] != ' '))
                text += line[i];
        }
        for (const std::string& term : splitTerms(text))
            terms.push_back(term);
    }
    return terms;
}

} // namespace

TEST(Options, TheManualAndTheReadmeListWhatTheUsageLists)
{
    const std::vector<std::string> usage = usageTerms();
    ASSERT_GE(usage.size(), 19u);
    EXPECT_EQ(manualTerms(), usage);

    std::string block;  // the usage's option lines as a code block
    std::istringstream lines(usageText());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  ", 0) == 0)
            block += "  " + line + "\n";
    }
    EXPECT_NE(readFile(BRINDLE_SOURCE_DIR "/README.md").find(block), std::string::npos)
        << "README's option list should read:\n"
        << block;
}
