// The program as installed: the Data folder lookup, `cmake --install` into a
// scratch prefix run from another directory, the manual page, the menu entry
// with its icons, and the Debian package cpack builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include "app/data_dir.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;

TEST(DataDirLookup, BesideTheProgramThenTheShareFolderThenWhereAUserExpectsIt)
{
    ScratchDir root("layout");
    const fs::path bin = root.path() / "bin", beside = bin / "Data";
    const fs::path installed = root.path() / "share" / "brindle" / "Data", build = root.path() / "build";
    fs::create_directories(bin);
    fs::create_directories(build);
    // With no data the error names the folder a user expects, in clean path form.
    EXPECT_EQ(findDataDir(bin.string() + "/"), installed.string());
    EXPECT_EQ(findDataDir(build.string() + "/"), (build / "Data").string());
    EXPECT_EQ(findDataDir(""), "Data");
    fs::create_directories(installed);
    std::ofstream(beside) << "a plain file is not the data folder";
    EXPECT_EQ(findDataDir(bin.string()), installed.string());
    fs::remove(beside);
    fs::create_directories(beside);
    EXPECT_EQ(findDataDir(bin.string()), beside.string());
    EXPECT_EQ(findDataDir(bin.string() + "/"), beside.string());
}

// One install serves every check; the run without data comes last, as it removes them.
TEST(InstalledTree, HoldsRunsAndDescribesTheProgramAndNamesTheDataWhenMissing)
{
    ScratchDir prefix("prefix"), elsewhere("cwd");
    const ProcessResult install
        = runProcess(BRINDLE_CMAKE, {"--install", BRINDLE_BUILD_DIR, "--prefix", prefix.path().string()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    const auto at = [&](const std::string& relative) { return prefix.path() / relative; };
    const std::string program = at("bin/brindle").string();
    EXPECT_NE(fs::status(program).permissions() & fs::perms::others_exec, fs::perms::none);
    EXPECT_EQ(fileNamesIn(at("share/brindle/Data")), fileNamesIn(BRINDLE_BUILD_DATA_DIR));
    // Build tools stay out of the installed tree.
    EXPECT_EQ(fileNamesIn(at("bin")), std::vector<std::string> {"brindle"});
    // Icons: square RGBA at their folder's size, a clear margin round an opaque tile.
    for (int size : {BRINDLE_ICON_SIZES}) {
        const std::string edge = std::to_string(size);
        const std::string rgba = decodedFrames(
            {"-i", at("share/icons/hicolor/" + edge + "x" + edge + "/apps/brindle.png").string()}, "rgba");
        ASSERT_EQ(rgba.size(), static_cast<size_t>(size * size * 4)) << edge;
        const auto alpha
            = [&](int x, int y) { return static_cast<uint8_t>(rgba[static_cast<size_t>(y * size + x) * 4 + 3]); };
        EXPECT_EQ(alpha(0, 0), 0);
        EXPECT_EQ(alpha(size - 1, size - 1), 0);
        EXPECT_EQ(alpha(size / 2, size / 2), 255);
        EXPECT_EQ(alpha(size / 2, size / 8), 255);
    }

    // The manual page renders cleanly and lists every exit status.
    const ProcessResult page = runProcess("man", {"--warnings", "-l", at("share/man/man1/brindle.1.gz").string()});
    ASSERT_EQ(page.status, 0) << "needs man-db\n" << page.err;
    EXPECT_EQ(page.err, "") << "groff warnings";
    const size_t exitSection = page.out.find("EXIT STATUS");
    ASSERT_NE(exitSection, std::string::npos);
    const std::string exits = page.out.substr(exitSection, page.out.find("\nFILES") - exitSection);
    for (const char* status : {"0", "1", "2", "255"})
        EXPECT_TRUE(std::regex_search(exits, std::regex(std::string("\\n\\s+") + status + "\\s"))) << status;

    // The menu entry validates; every Exec line starts the program on the PATH
    // with options it accepts, and --help prints the usage on stdout.
    const fs::path entry = at("share/applications/brindle.desktop");
    const ProcessResult valid = runProcess("desktop-file-validate", {entry.string()});
    EXPECT_EQ(valid.status, 0) << "needs desktop-file-utils";
    EXPECT_EQ(valid.out + valid.err, "");
    const std::string text = bytesOf(entry);
    const std::regex exec(R"(\nExec=(\S+)([^\n]*))");
    int execLines = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), exec), end; it != end; ++it, ++execLines) {
        EXPECT_EQ((*it)[1].str(), "brindle");
        std::istringstream words((*it)[2].str());
        std::vector<std::string> args(std::istream_iterator<std::string>(words), {});
        args.push_back("--help");
        const ProcessResult help = runProcess(program, args);
        EXPECT_EQ(help.status, 0) << (*it)[0].str();
        EXPECT_TRUE(help.out.starts_with("usage: brindle")) << help.out;
    }
    EXPECT_GE(execLines, 1);
    EXPECT_NE(text.find("\nIcon=brindle\n"), std::string::npos);

    // Run from another directory, on the X display when there is one, else off screen.
    const ProcessResult version = runProcess(program, {"--version"}, {}, 30, elsewhere.path());
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string("brindle ") + BRINDLE_VERSION + "\n");
    // The dialog's module is found in ../lib/brindle: with no display, its toolkit is what fails.
    const ProcessResult dialog = runProcess(program, {}, {"DISPLAY=", "WAYLAND_DISPLAY="}, 30, elsewhere.path());
    EXPECT_EQ(dialog.status, 1);
    EXPECT_NE(dialog.err.find("brindle: cannot show the launch dialog: no display"), std::string::npos) << dialog.err;
    const auto capture = [&](const char* folder) {
        return runProcess(program,
            {"--capture", (elsewhere.path() / folder).string(), "--from", "40000", "--to", "40300", "--fps", "10",
                "--size", "320x200", "--no-dialog"},
            {std::string("SDL_VIDEODRIVER=") + (std::getenv("DISPLAY") ? "" : "offscreen")}, 120, elsewhere.path());
    };
    const ProcessResult frames = capture("frames");
    ASSERT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(fileNamesIn(elsewhere.path() / "frames"),
        (std::vector<std::string> {"frame_000400.png", "frame_000401.png", "frame_000402.png"}));
    fs::remove_all(at("share/brindle/Data"));
    const ProcessResult missing = capture("none");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(at("share/brindle/Data").string()), std::string::npos) << missing.err;
    EXPECT_EQ(splitLines(missing.err).size(), 1u) << missing.err;
}

TEST(DebianPackage, ShipsTheShowAndItsDataWithTheirRuntimeDependencies)
{
    ScratchDir work("deb");
    const ProcessResult cpack = runProcess(BRINDLE_CPACK,
        {"-G", "DEB", "--config", std::string(BRINDLE_BUILD_DIR) + "/CPackConfig.cmake", "-B", work.path().string()},
        {}, 280);
    ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
    const std::vector<std::string> names = fileNamesIn(work.path());
    const auto deb = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.ends_with(".deb"); });
    ASSERT_NE(deb, names.end()) << cpack.out;
    EXPECT_TRUE(deb->starts_with(std::string("brindle_") + BRINDLE_VERSION + "_")) << *deb;
    const std::string package = (work.path() / *deb).string();

    const ProcessResult listing = runProcess("dpkg-deb", {"-c", package});
    ASSERT_EQ(listing.status, 0) << listing.err;
    // The install tree, which InstalledTree holds file by file, under /usr.
    EXPECT_NE(listing.out.find(" ./usr/bin/brindle\n"), std::string::npos) << listing.out;
    EXPECT_LT(splitLines(listing.out).size(), 60u) << "unexpected files in the package:\n" << listing.out;

    // The runtime packages of the libraries the program links, and libgl1, whose
    // libGL SDL opens at run time; by name, without the versions.
    const std::string depends = runProcess("dpkg-deb", {"-f", package, "Depends"}).out;
    std::set<std::string> dependencies;
    const std::regex name(R"((^|[,|]\s*)([a-z0-9][a-z0-9.+-]*))");
    for (std::sregex_iterator it(depends.begin(), depends.end(), name), end; it != end; ++it)
        dependencies.insert((*it)[2].str());
    for (const char* expected : {"libc6", "libstdc++6", "libsdl2-2.0-0", "libgtk-3-0", "libmpg123-0", "libopenmpt0",
             "libpng16-16", "libglu1-mesa", "libgl1"})
        EXPECT_TRUE(dependencies.count(expected)) << expected << " missing from: " << depends;
    EXPECT_NE(depends.find("libkissfft-float"), std::string::npos) << depends;
    EXPECT_EQ(depends.find("-dev"), std::string::npos) << "a development package is not a runtime dependency";
    // Without libdecor's plugin a Wayland window has no title bar and every start prints libdecor's lines.
    const std::string recommends = runProcess("dpkg-deb", {"-f", package, "Recommends"}).out;
    EXPECT_NE(recommends.find("libdecor-0-plugin-1-cairo"), std::string::npos) << recommends;
}
