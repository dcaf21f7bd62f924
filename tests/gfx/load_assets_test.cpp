// loadAssets on the application record: the music gate, then every key.
#include <gtest/gtest.h>

#include "app/application.h"
#include "audio/audio_backend.h"
#include "catalogue_files.h"
#include "gl_test_context.h"

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
    std::string error;
    EXPECT_FALSE(loadAssets(record.app, error));
    EXPECT_NE(error.find(record.app.musicPath), std::string::npos) << error;
    EXPECT_EQ(record.app.programs.findProgram("PP"), nullptr);
    EXPECT_EQ(record.app.textures.findTexture("BRINDLE"), nullptr);
    EXPECT_EQ(record.app.textures.findRenderTarget("RT_DEFAULT1"), nullptr);
}

TEST(LoadAssets, EveryKeyResolvesAndAMissingImageIsNamed) {
    REQUIRE_GL();
    const std::filesystem::path dir = writeDataFolder("load_full");
    writeBytes(dir / "music.mp3", std::vector<uint8_t>(64, 0xFF));
    std::filesystem::remove(dir / "plus.p");
    Record record(dir);
    std::string error;
    ::testing::internal::CaptureStderr();
    const bool loaded = loadAssets(record.app, error);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "brindle: warning: " + (dir / "plus.p").string() + " is missing or unreadable; PLUS stays blank\n");
    ASSERT_TRUE(loaded) << error;

    for (const char* key : {"PP_SHADOWED", "PP", "SHADOW_PASS", "SHADOW_PASS_TEXTURED", "OVERLAY", "SEPBLUR"}) {
        EXPECT_NE(record.app.programs.findProgram(key), nullptr) << key;
    }
    for (const ImageAsset& asset : imageAssets()) EXPECT_NE(record.app.textures.findTexture(asset.key), nullptr);
    for (const char* key : {"DEFAULT_TARGET1", "DEFAULT_TARGET2", "DEFAULT_TARGET3", "BLUR1", "BLUR2", "BLUR3", "BLUR4"}) {
        EXPECT_NE(record.app.textures.findTexture(key), nullptr) << key;
    }
    for (const char* key : {"RT_DEFAULT1", "RT_DEFAULT2", "RT_BLUR1", "RT_BLUR2", "RT_BLUR3", "RT_BLUR4"}) {
        EXPECT_NE(record.app.textures.findRenderTarget(key), nullptr) << key;
    }
    EXPECT_EQ(record.app.textures.textureCount(), 30u);
    EXPECT_EQ(record.app.textures.findTexture("BLUR4")->width, 480);
    EXPECT_EQ(record.app.textures.findTexture("BLUR4")->height, 270);
    EXPECT_NE(record.app.music.channel(), 0u);
}
