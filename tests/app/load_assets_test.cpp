// The show's configurator: the music gate, then the whole load.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/configurator.h"
#include "audio/audio_backend.h"
#include "catalogue_files.h"
#include "gfx/asset_catalogue.h"
#include "tests/support/gl_context.h"
#include "scene/show_assets.h"

namespace {

struct Record {
    DemoApplication app;
    explicit Record(const std::filesystem::path& dataDir) {
        app.width = 1920;
        app.height = 1080;
        app.audio = makeNullAudioBackend();
        app.dataDir = dataDir.string();
        app.musicPath = (dataDir / "music.mp3").string();
    }
    ~Record() { app.releaseGraphics(); }
};

}  // namespace

TEST(LoadAssets, MissingMusicStopsBeforeAnyGraphicsExist) {
    REQUIRE_GL();
    Record record(writeDataFolder("load_no_music"));
    QuillonConfigurator configurator(record.app);
    EXPECT_FALSE(configurator.loadAssets());
    const std::string& error = configurator.error();
    EXPECT_NE(error.find(record.app.musicPath), std::string::npos) << error;
    EXPECT_EQ(record.app.programs.programCount(), 0u);
    EXPECT_EQ(record.app.textures.textureCount(), 0u);
}

TEST(LoadAssets, AMissingImageIsOneWarningAndEveryKeyTheShowUsesStillResolves) {
    REQUIRE_GL();
    const std::filesystem::path dir = writeDataFolder("load_full");
    writeBytes(dir / "music.mp3", std::vector<uint8_t>(64, 0xFF));
    std::filesystem::remove(dir / "plus.p");
    Record record(dir);
    QuillonConfigurator configurator(record.app);
    ::testing::internal::CaptureStderr();
    const bool loaded = configurator.loadAssets();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "brindle: warning: " + (dir / "plus.p").string() + " is missing or unreadable; PLUS stays blank\n");
    ASSERT_TRUE(loaded) << configurator.error();
    EXPECT_NE(record.app.programs.findProgram("SEPBLUR"), nullptr);
    // The images, then the window-sized and quarter-sized targets' textures.
    EXPECT_EQ(record.app.textures.textureCount(), imageAssets().size() + 6);
    EXPECT_EQ(record.app.textures.findTexture("BLUR4")->width, 480);
    EXPECT_NE(record.app.music.channel(), 0u);
    // A key or uniform the show draws with that the catalogue lacks would draw nothing.
    ShowAssets assets;
    EXPECT_EQ(resolveShowAssets(record.app.programs, record.app.textures, assets), std::vector<std::string>{});
}
