// The Debian package cpack builds: its files, its dependencies, and the show
// run from the package unpacked into a scratch root.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "install_helpers.h"

namespace {

// The runtime packages of the libraries the program links, and libgl1, whose
// libGL SDL opens at run time; by name, without the versions.
const char* const kExpectedDependencies[] = {
    "libc6", "libstdc++6", "libsdl2-2.0-0", "libgtk-3-0", "libmpg123-0", "libopenmpt0",
    "libpng16-16", "libglu1-mesa", "libgl1"};

std::vector<std::string> packageNames(const std::string& dependsField)
{
    std::vector<std::string> names;
    const std::regex name(R"((^|[,|]\s*)([a-z0-9][a-z0-9.+-]*))");
    for (std::sregex_iterator it(dependsField.begin(), dependsField.end(), name), end; it != end; ++it)
        names.push_back((*it)[2].str());
    return names;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

TEST(DebianPackage, ShipsTheShowWithItsRuntimeDependenciesAndRunsUnpacked)
{
    if (std::string(BRINDLE_DPKG_DEB).empty())
        GTEST_SKIP() << "dpkg-deb is not installed";
    ScratchDir work("deb");
    const ChildResult cpack = runChild(BRINDLE_CPACK,
        {"-G", "DEB", "--config", std::string(BRINDLE_BUILD_DIR) + "/CPackConfig.cmake", "-B", work.path().string()}, {}, 280);
    ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
    fs::path deb;
    for (const std::string& name : fileNamesIn(work.path()))
        if (name.size() > 4 && name.ends_with(".deb"))
            deb = work.path() / name;
    ASSERT_FALSE(deb.empty()) << cpack.out;
    EXPECT_EQ(deb.filename().string().rfind(std::string("brindle_") + BRINDLE_VERSION + "_", 0), 0u) << deb;

    const ChildResult listing = runChild(BRINDLE_DPKG_DEB, {"-c", deb.string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    for (const char* expected : {"./usr/bin/brindle", "./usr/share/brindle/Data/music.mp3",
                                        "./usr/share/brindle/Data/plus.p", "./usr/share/applications/brindle.desktop",
                                        "./usr/share/icons/hicolor/48x48/apps/brindle.png",
                                        "./usr/share/man/man1/brindle.1.gz"})
        EXPECT_NE(listing.out.find(std::string(" ") + expected + "\n"), std::string::npos) << expected;
    const size_t entries = static_cast<size_t>(std::count(listing.out.begin(), listing.out.end(), '\n'));
    EXPECT_LT(entries, 60u) << "unexpected files in the package:\n" << listing.out;

    const ChildResult depends = runChild(BRINDLE_DPKG_DEB, {"-f", deb.string(), "Depends"});
    ASSERT_EQ(depends.status, 0) << depends.err;
    const std::vector<std::string> names = packageNames(depends.out);
    for (const char* expected : kExpectedDependencies)
        EXPECT_TRUE(contains(names, expected)) << expected << " missing from: " << depends.out;
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.starts_with("libkissfft-float"); }))
        << depends.out;
    for (const std::string& name : names)
        EXPECT_FALSE(name.ends_with("-dev")) << "a development package is not a runtime dependency: " << name;

    const fs::path root = work.path() / "root";
    const ChildResult unpack = runChild(BRINDLE_DPKG_DEB, {"-x", deb.string(), root.string()});
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    EXPECT_EQ(fileNamesIn(root / "usr/share/brindle/Data"), fileNamesIn(BRINDLE_BUILD_DATA_DIR));
    const fs::path frames = work.path() / "x";
    const ChildResult capture = runShortCapture(root / "usr/bin/brindle", frames, work.path());
    ASSERT_EQ(capture.status, 0) << capture.err;
    EXPECT_EQ(fileNamesIn(frames), kShortCaptureFrames);
}
