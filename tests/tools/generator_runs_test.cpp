// The generators as the build runs them: a second run writes byte-identical
// files, and bad arguments fail with one line on stderr.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int run(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()); }

fs::path freshDirectory(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(GeneratorRuns, ImagesAreByteIdenticalToTheBuildsOwn) {
    const fs::path dir = freshDirectory("brindle_images_again");
    ASSERT_EQ(run(std::string(MAKE_IMAGES_EXE) + " " + dir.string() + " --font " + BRINDLE_BANNER_FONT), 0);
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const fs::path built = fs::path(BRINDLE_DATA_DIR) / entry.path().filename();
        SCOPED_TRACE(built.string());
        ASSERT_TRUE(fs::exists(built));
        EXPECT_TRUE(fileBytes(entry.path()) == fileBytes(built));
        ++compared;
    }
    EXPECT_EQ(compared, 23);
    fs::remove_all(dir);
}

TEST(GeneratorRuns, MusicAndOnsetsAreByteIdenticalToTheBuildsOwn) {
    const fs::path dir = freshDirectory("brindle_music_again");
    const fs::path mp3 = dir / "music.mp3", onsets = dir / "onsets.txt";
    ASSERT_EQ(run(std::string(MAKE_MUSIC_EXE) + " " + mp3.string() + " " + onsets.string()), 0);
    EXPECT_TRUE(fileBytes(mp3) == fileBytes(fs::path(BRINDLE_DATA_DIR) / "music.mp3"));
    EXPECT_TRUE(fileBytes(onsets) == fileBytes(BRINDLE_KICK_ONSETS_FILE));
    EXPECT_FALSE(fs::exists(dir / "music.mp3.part")) << "the temporary file was renamed";
    fs::remove_all(dir);
}

TEST(GeneratorRuns, BadArgumentsFailWithoutWriting) {
    const fs::path dir = freshDirectory("brindle_bad_runs");
    // A plain file where a folder is needed: no folder can be created below it.
    const fs::path blocker = dir / "blocker";
    std::ofstream(blocker) << "not a folder";
    EXPECT_NE(run(MAKE_IMAGES_EXE), 0);
    EXPECT_NE(run(std::string(MAKE_IMAGES_EXE) + " " + dir.string() + " --font /nonexistent.ttf"), 0);
    EXPECT_NE(run(std::string(MAKE_IMAGES_EXE) + " " + (blocker / "Data").string()), 0);
    EXPECT_NE(run(MAKE_MUSIC_EXE), 0);
    EXPECT_NE(run(std::string(MAKE_MUSIC_EXE) + " " + (blocker / "music.mp3").string() + " " + (dir / "onsets.txt").string()), 0);
    EXPECT_NE(run(std::string(MAKE_MUSIC_EXE) + " " + (dir / "music.mp3").string() + " " + (blocker / "onsets.txt").string()), 0);
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path());
    EXPECT_EQ(left, std::vector<fs::path>{blocker});
    fs::remove_all(dir);
}

TEST(GeneratorRuns, AFailedRenameLeavesNoTemporaryFiles) {
    const fs::path dir = freshDirectory("brindle_failed_rename");
    // The onset list's name is taken by a folder that is not empty.
    const fs::path taken = dir / "onsets.txt";
    fs::create_directories(taken);
    std::ofstream(taken / "keep") << "x";
    EXPECT_NE(run(std::string(MAKE_MUSIC_EXE) + " " + (dir / "music.mp3").string() + " " + taken.string()), 0);
    EXPECT_FALSE(fs::exists(dir / "music.mp3.part"));
    EXPECT_FALSE(fs::exists(dir / "onsets.txt.part"));
    fs::remove_all(dir);
}
