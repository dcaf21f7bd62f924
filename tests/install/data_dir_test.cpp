// Where the program finds its Data folder without --data: beside itself
// first, then in the installed share folder, in clean path form.
#include <gtest/gtest.h>

#include <fstream>

#include "app/data_dir.h"
#include "install_helpers.h"

namespace {

// A scratch prefix with bin/ and, on request, the two data folders.
struct Layout {
    ScratchDir root{"layout"};
    fs::path bin = root.path() / "bin";
    fs::path beside = bin / "Data";
    fs::path installed = root.path() / "share" / "brindle" / "Data";
    Layout() { fs::create_directories(bin); }
};

} // namespace

TEST(DataDirLookup, TheFolderBesideTheProgramComesFirst)
{
    Layout layout;
    fs::create_directories(layout.beside);
    fs::create_directories(layout.installed);
    EXPECT_EQ(findDataDir(layout.bin.string()), layout.beside.string());
    EXPECT_EQ(findDataDir(layout.bin.string() + "/"), layout.beside.string());
}

TEST(DataDirLookup, AnInstalledProgramFindsTheShareFolderWithoutDotDot)
{
    Layout layout;
    fs::create_directories(layout.installed);
    EXPECT_EQ(findDataDir(layout.bin.string() + "/"), layout.installed.string());

    // A plain file called Data beside the program is not the data folder.
    std::ofstream(layout.beside) << "not a folder";
    EXPECT_EQ(findDataDir(layout.bin.string()), layout.installed.string());
}

TEST(DataDirLookup, WithNoDataTheErrorNamesTheFolderAUserExpects)
{
    Layout layout;
    EXPECT_EQ(findDataDir(layout.bin.string() + "/"), layout.installed.string());

    const fs::path buildTree = layout.root.path() / "build";
    fs::create_directories(buildTree);
    EXPECT_EQ(findDataDir(buildTree.string() + "/"), (buildTree / "Data").string());
    EXPECT_EQ(findDataDir(""), "Data");
}
