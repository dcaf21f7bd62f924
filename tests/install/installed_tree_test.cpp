// `cmake --install` into a scratch prefix: the layout, the program run from
// another directory, the manual page and the menu entry with its icons.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "install_helpers.h"

namespace {

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(prefix_.path().empty());
        const ChildResult install =
            runChild(BRINDLE_CMAKE, {"--install", BRINDLE_BUILD_DIR, "--prefix", prefix_.path().string()});
        ASSERT_EQ(install.status, 0) << install.out << install.err;
    }

    fs::path at(const std::string& relative) const { return prefix_.path() / relative; }
    fs::path program() const { return at("bin/brindle"); }

    ScratchDir prefix_{"prefix"};
    ScratchDir elsewhere_{"cwd"};
};

bool isExecutable(const fs::path& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXOTH);
}

std::vector<int> iconSizes()
{
    return numbersIn(BRINDLE_ICON_SIZES);
}

} // namespace

TEST_F(InstalledTree, HoldsTheProgramItsDataTheMenuEntryIconsAndManual)
{
    EXPECT_TRUE(isExecutable(program()));
    EXPECT_EQ(fileNamesIn(at("share/brindle/Data")), fileNamesIn(BRINDLE_BUILD_DATA_DIR));
    for (const std::string& name : fileNamesIn(BRINDLE_BUILD_DATA_DIR))
        EXPECT_EQ(fs::file_size(at("share/brindle/Data/" + name)), fs::file_size(fs::path(BRINDLE_BUILD_DATA_DIR) / name)) << name;
    EXPECT_TRUE(fs::is_regular_file(at("share/applications/brindle.desktop")));
    EXPECT_TRUE(fs::is_regular_file(at("share/man/man1/brindle.1.gz")));
    for (int size : iconSizes()) {
        const std::string edge = std::to_string(size);
        EXPECT_TRUE(fs::is_regular_file(at("share/icons/hicolor/" + edge + "x" + edge + "/apps/brindle.png"))) << size;
    }
    // Build tools stay out of the installed tree.
    EXPECT_EQ(fileNamesIn(at("bin")), std::vector<std::string>{"brindle"});
}

TEST_F(InstalledTree, RunsFromAnotherDirectoryWithTheInstalledData)
{
    const ChildResult version = runFrom(elsewhere_.path(), program().string(), {"--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string("brindle ") + BRINDLE_VERSION + "\n");

    const fs::path frames = elsewhere_.path() / "frames";
    const ChildResult capture = runShortCapture(program(), frames, elsewhere_.path());
    ASSERT_EQ(capture.status, 0) << capture.err;
    EXPECT_EQ(fileNamesIn(frames), kShortCaptureFrames);
}

TEST_F(InstalledTree, DataOptionWinsAndMissingDataIsNamed)
{
    const fs::path nowhere = elsewhere_.path() / "no-such-data";
    const ChildResult wrongOption =
        runShortCapture(program(), elsewhere_.path() / "b", elsewhere_.path(), {"--data", nowhere.string()});
    EXPECT_EQ(wrongOption.status, 1);
    EXPECT_NE(wrongOption.err.find(nowhere.string()), std::string::npos) << wrongOption.err;

    // Without its data the installed program names the installed folder.
    fs::remove_all(at("share/brindle/Data"));
    const ChildResult missing = runShortCapture(program(), elsewhere_.path() / "c", elsewhere_.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(at("share/brindle/Data").string()), std::string::npos) << missing.err;
    EXPECT_EQ(linesOf(missing.err).size(), 1u) << missing.err;
}

// The page's option list is held to --help by the app tests; here the
// installed page must render cleanly and list every exit status.
TEST_F(InstalledTree, ManualPageRendersAndCoversEveryExitStatus)
{
    if (std::string(BRINDLE_MAN).empty())
        GTEST_SKIP() << "man is not installed (package man-db)";
    const ChildResult page = runChild(BRINDLE_MAN, {"--warnings", "-l", at("share/man/man1/brindle.1.gz").string()});
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.err, "") << "groff warnings";

    const size_t exitSection = page.out.find("EXIT STATUS");
    ASSERT_NE(exitSection, std::string::npos);
    const std::string exits = page.out.substr(exitSection, page.out.find("\nFILES") - exitSection);
    for (const char* status : {"0", "1", "2", "255"})
        EXPECT_TRUE(std::regex_search(exits, std::regex(std::string("\\n\\s+") + status + "\\s"))) << status;
}

TEST_F(InstalledTree, DesktopEntryValidatesAndNamesTheInstalledProgramAndIcon)
{
    const fs::path entry = at("share/applications/brindle.desktop");
    if (std::string(BRINDLE_DESKTOP_VALIDATE).empty())
        GTEST_SKIP() << "desktop-file-validate is not installed (package desktop-file-utils)";
    const ChildResult valid = runChild(BRINDLE_DESKTOP_VALIDATE, {entry.string()});
    EXPECT_EQ(valid.status, 0);
    EXPECT_EQ(valid.out + valid.err, "");

    // Every Exec line starts the program on the PATH, every option it passes is one it accepts.
    const std::string text = fileText(entry);
    const std::regex exec(R"(\nExec=(\S+)([^\n]*))");
    int execLines = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), exec), end; it != end; ++it, ++execLines) {
        EXPECT_EQ((*it)[1].str(), "brindle");
        EXPECT_TRUE(isExecutable(at("bin/" + (*it)[1].str())));
        std::vector<std::string> args = {"--help"};
        std::stringstream words((*it)[2].str());
        for (std::string word; words >> word;)
            args.insert(args.end() - 1, word);
        EXPECT_EQ(runChild(program().string(), args).status, 0) << (*it)[0].str();
    }
    EXPECT_GE(execLines, 1);
    EXPECT_NE(text.find("\nIcon=brindle\n"), std::string::npos);

    // Icons: square RGBA at their folder's size, a clear margin round an opaque tile.
    for (int size : iconSizes()) {
        const std::string edge = std::to_string(size);
        const RgbaPicture icon = readRgbaPng(at("share/icons/hicolor/" + edge + "x" + edge + "/apps/brindle.png"));
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        EXPECT_EQ(icon.alphaAt(0, 0), 0);
        EXPECT_EQ(icon.alphaAt(size - 1, size - 1), 0);
        EXPECT_EQ(icon.alphaAt(size / 2, size / 2), 255);
        EXPECT_EQ(icon.alphaAt(size / 2, size / 8), 255);
    }
}
