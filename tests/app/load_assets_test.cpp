// The show's configurator: the music gate, then the whole load.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/configurator.h"
#include "desktop/window.h"

TEST(LoadAssets, MissingMusicStopsBeforeAnyGraphicsElseEverythingLoads)
{
    DemoApplication app;
    app.width = 160;
    app.height = 100;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    app.audio = makeNullAudioBackend();
    app.dataDir = BRINDLE_DATA_DIR;

    app.musicPath = app.dataDir + "/missing.mp3";
    QuillonConfigurator withoutMusic(app);
    EXPECT_FALSE(withoutMusic.loadAssets());
    EXPECT_NE(withoutMusic.error().find(app.musicPath), std::string::npos) << withoutMusic.error();
    EXPECT_EQ(app.programs.programCount() + app.textures.textureCount(), 0u);

    app.musicPath = app.dataDir + "/music.mp3";
    QuillonConfigurator configurator(app);
    ASSERT_TRUE(configurator.loadAssets()) << configurator.error();
    EXPECT_NE(app.music.channel(), 0u);
    app.releaseGraphics();
    closeWindow(app);
}
