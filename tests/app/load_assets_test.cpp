// The show's configurator: the music gate, then the whole load.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "app/configurator.h"
#include "app/window.h"
#include "scene/show_assets.h"

namespace fs = std::filesystem;

namespace {

// A data folder of links to the build's own files, less `leftOut`.
fs::path buildDataWithout(const std::string& name, const std::vector<std::string>& leftOut)
{
    const fs::path dir = fs::path(testing::TempDir()) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(BRINDLE_DATA_DIR)) {
        const std::string file = entry.path().filename().string();
        if (std::find(leftOut.begin(), leftOut.end(), file) == leftOut.end())
            fs::create_symlink(entry.path(), dir / file);
    }
    return dir;
}

}  // namespace

TEST(LoadAssets, MissingMusicStopsBeforeAnyGraphicsAndAMissingImageIsOneWarning)
{
    DemoApplication app;
    app.width = 160;
    app.height = 100;
    app.aspectMode = AspectCode::Other;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    app.audio = makeNullAudioBackend();

    app.dataDir = buildDataWithout("load-no-music", {"music.mp3"}).string();
    app.musicPath = app.dataDir + "/music.mp3";
    QuillonConfigurator withoutMusic(app);
    EXPECT_FALSE(withoutMusic.loadAssets());
    EXPECT_NE(withoutMusic.error().find(app.musicPath), std::string::npos) << withoutMusic.error();
    EXPECT_EQ(app.programs.programCount() + app.textures.textureCount(), 0u);

    app.dataDir = buildDataWithout("load-no-plus", {"plus.p"}).string();
    app.musicPath = app.dataDir + "/music.mp3";
    QuillonConfigurator configurator(app);
    testing::internal::CaptureStderr();
    const bool loaded = configurator.loadAssets();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "brindle: warning: " + app.dataDir + "/plus.p is missing or unreadable; PLUS stays blank\n");
    ASSERT_TRUE(loaded) << configurator.error();
    EXPECT_NE(app.music.channel(), 0u);
    // A key or uniform the show draws with that the catalogue lacks would draw nothing.
    ShowAssets assets;
    EXPECT_EQ(resolveShowAssets(app.programs, app.textures, assets), std::vector<std::string> {});
    app.releaseGraphics();
    closeWindow(app);
}
