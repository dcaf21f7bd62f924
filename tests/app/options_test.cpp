#include <gtest/gtest.h>

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
    EXPECT_FALSE(o.noDialog || o.width || o.fullscreen || o.aspectIndex || o.vsync || o.fixedStep());

    ASSERT_TRUE(parse({"--no-dialog", "--size", "640x400", "--windowed", "--aspect", "16:10", "--no-music",
                       "--no-vsync", "--data=/tmp/d", "--stats", "--start", "110000"},
                      o, error))
        << error;
    EXPECT_TRUE(o.noDialog && o.noMusic && o.stats);
    EXPECT_EQ(*o.width, 640);
    EXPECT_EQ(*o.height, 400);
    EXPECT_FALSE(*o.fullscreen);
    EXPECT_EQ(*o.aspectIndex, 4);
    EXPECT_FALSE(*o.vsync);
    EXPECT_EQ(o.dataDir, "/tmp/d");
    EXPECT_EQ(*o.startMs, 110000u);
    ASSERT_TRUE(parse({"--start=133999"}, o, error)) << error;
    EXPECT_EQ(*o.startMs, 133999u);
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
