// The catalogue's image and render-target steps on a real context.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue_files.h"
#include "gfx/texture_registry.h"
#include "gl_test_context.h"

TEST(Catalogue, SkippedFilesLeaveBlankTexturesAndOneWarningEach) {
    REQUIRE_GL();
    const std::filesystem::path dir = writeDataFolder("catalogue_broken");
    std::filesystem::remove(dir / "plus.p");
    std::vector<uint8_t> reserved = flatImageFile(512, 128, 1);
    reserved[64] = 1;
    writeBytes(dir / "bdl.p", reserved);
    writeBytes(dir / "gdr.p", flatImageFile(256, 128, 2));
    std::vector<uint8_t> truncated = flatImageFile(512, 128, 3);
    truncated.resize(truncated.size() / 2);
    writeBytes(dir / "qn.p", truncated);

    TextureRegistry textures;
    const std::vector<std::string> warnings = loadImageTextures(textures, dir.string());
    const std::string base = dir.string() + "/";
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            base + "bdl.p has a non-zero reserved header byte; BRINDLE stays blank",
                            base + "gdr.p is 256 x 128, not 512 x 128; GALDER stays blank",
                            base + "qn.p ends before its last row; QN stays blank",
                            base + "plus.p is missing or unreadable; PLUS stays blank",
                        }));
    ASSERT_EQ(textures.textureCount(), 23u);
    for (const char* key : {"PLUS", "BRINDLE", "GALDER", "QN"}) {
        const TextureEntry& entry = *textures.findTexture(key);
        EXPECT_EQ(entry.pixels.size(), static_cast<size_t>(entry.width) * entry.height * 4) << key;
        EXPECT_TRUE(std::all_of(entry.pixels.begin(), entry.pixels.end(), [](uint8_t b) { return b == 0; })) << key;
    }
    EXPECT_EQ(textures.findTexture("PLUS")->width, 512);
    // Every other image loads, into its own row's texture with the table's settings.
    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets()) {
        const TextureEntry& entry = *textures.findTexture(asset.key);
        if (row > 4) {
            EXPECT_EQ(entry.pixels.back(), row * 5) << asset.key;
        }
        EXPECT_EQ(entry.wrap, static_cast<GLenum>(asset.repeating ? GL_REPEAT : GL_CLAMP_TO_EDGE)) << asset.key;
        EXPECT_EQ(entry.minFilter, asset.minFilter) << asset.key;
        EXPECT_EQ(entry.mipmapMode, 1) << asset.key;
        ++row;
    }
    textures.destroyTextures();
}

TEST(Catalogue, RenderTargetsUseWindowAndQuarterSizes) {
    REQUIRE_GL();
    TextureRegistry textures;
    createRenderTargets(textures, 1366, 768);
    EXPECT_EQ(textures.textureCount(), 7u);
    EXPECT_EQ(textures.findTexture("DEFAULT_TARGET3")->width, 1366);
    EXPECT_EQ(textures.findTexture("BLUR3")->width, 341);
    EXPECT_EQ(textures.findTexture("BLUR3")->height, 192);
    EXPECT_EQ(textures.findTexture("BLUR3")->mipmapMode, 0);

    const char* const targets[][2] = {{"RT_DEFAULT1", "DEFAULT_TARGET1"}, {"RT_DEFAULT2", "DEFAULT_TARGET2"},
                                      {"RT_BLUR1", "BLUR1"}, {"RT_BLUR2", "BLUR2"}, {"RT_BLUR3", "BLUR3"},
                                      {"RT_BLUR4", "BLUR4"}};
    for (const auto& [targetKey, textureKey] : targets) {
        const RenderTarget* target = textures.findRenderTarget(targetKey);
        ASSERT_NE(target, nullptr) << targetKey;
        const size_t expected = std::string_view(targetKey) == "RT_DEFAULT2" ? 2 : 1;
        ASSERT_EQ(target->attachments.size(), expected) << targetKey;
        EXPECT_EQ(target->attachments[0].texture, textures.findTexture(textureKey)) << targetKey;
    }
    const RenderAttachment& second = textures.findRenderTarget("RT_DEFAULT2")->attachments[1];
    EXPECT_EQ(second.texture, textures.findTexture("DEFAULT_TARGET3"));
    EXPECT_EQ(second.point, static_cast<GLenum>(GL_COLOR_ATTACHMENT1_EXT));
    textures.destroyTextures();
}
