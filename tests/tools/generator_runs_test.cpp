// The generators as the build runs them: a second run writes byte-identical
// files, and bad arguments fail without leaving files behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }

}  // namespace

TEST(GeneratorRuns, ImagesMusicAndOnsetsAreByteIdenticalToTheBuildsOwn)
{
    const ScratchDir scratch("generated-again");
    const fs::path& dir = scratch.path();
    ASSERT_EQ(run(std::string(MAKE_IMAGES_EXE) + " " + dir.string() + " --font " + BRINDLE_BANNER_FONT), 0);
    ASSERT_EQ(
        run(std::string(MAKE_MUSIC_EXE) + " " + (dir / "music.mp3").string() + " " + (dir / "onsets.txt").string()), 0);
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const bool onsets = entry.path().filename() == "onsets.txt";
        const fs::path built
            = onsets ? fs::path(BRINDLE_KICK_ONSETS_FILE) : fs::path(BRINDLE_DATA_DIR) / entry.path().filename();
        EXPECT_TRUE(bytesOf(entry.path()) == bytesOf(built)) << built;
        ++compared;
    }
    EXPECT_EQ(compared, 25) << "the images, the music and the onsets, and no temporary file";
}

TEST(GeneratorRuns, BadArgumentsAndAFailedRenameLeaveNoFiles)
{
    const ScratchDir scratch("bad-runs");
    const fs::path& dir = scratch.path();
    // A plain file where a folder is needed, and a name taken by a folder that is not empty.
    const fs::path blocker = dir / "blocker", taken = dir / "taken";
    std::ofstream(blocker) << "not a folder";
    fs::create_directories(taken);
    std::ofstream(taken / "keep") << "x";
    for (const std::string& arguments :
        {std::string(), dir.string() + " --font /nonexistent.ttf", (blocker / "Data").string()}) {
        EXPECT_NE(run(std::string(MAKE_IMAGES_EXE) + " " + arguments), 0) << arguments;
    }
    for (const std::string& arguments :
        {std::string(), (blocker / "music.mp3").string() + " " + (dir / "onsets.txt").string(),
            (dir / "music.mp3").string() + " " + (blocker / "onsets.txt").string(),
            taken.string() + " " + (dir / "onsets.txt").string()}) {
        EXPECT_NE(run(std::string(MAKE_MUSIC_EXE) + " " + arguments), 0) << arguments;
    }
    EXPECT_EQ(fileNamesIn(dir), (std::vector<std::string> {"blocker", "taken"}));
}
