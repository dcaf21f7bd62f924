// The catalogue's image and render-target steps on a real context.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue_files.h"
#include "gfx/asset_catalogue.h"
#include "gfx/texture_registry.h"
#include "gl_test_context.h"

namespace {

bool allZero(const std::vector<uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

bool mentions(const std::vector<std::string>& lines, const std::string& a, const std::string& b) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
    });
}

}  // namespace

TEST(Catalogue, FullFolderLoadsEveryImageAtItsTableSize) {
    REQUIRE_GL();
    const std::filesystem::path dir = writeDataFolder("catalogue_full");
    TextureRegistry textures;
    const std::vector<std::string> warnings = loadImageTextures(textures, dir.string());
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    ASSERT_EQ(textures.textureCount(), 23u);

    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets()) {
        const TextureEntry* entry = textures.findTexture(asset.key);
        ASSERT_NE(entry, nullptr) << asset.key;
        EXPECT_EQ(entry->width, asset.width) << asset.key;
        EXPECT_EQ(entry->height, asset.height) << asset.key;
        EXPECT_EQ(entry->mipmapMode, 1) << asset.key;
        EXPECT_EQ(entry->wrap, static_cast<GLenum>(asset.repeating ? GL_REPEAT : GL_CLAMP_TO_EDGE)) << asset.key;
        EXPECT_EQ(entry->minFilter, asset.minFilter) << asset.key;
        EXPECT_EQ(entry->magFilter, asset.magFilter) << asset.key;
        // Red is the row number times five; alpha repeats red.
        EXPECT_EQ(entry->pixels.front(), row * 5) << asset.key;
        EXPECT_EQ(entry->pixels.back(), row * 5) << asset.key;
        ++row;
    }
    EXPECT_EQ(textures.findTexture("PLUS")->magFilter, static_cast<GLenum>(GL_NEAREST));
    EXPECT_EQ(textures.findTexture("LIGHT")->minFilter, static_cast<GLenum>(GL_LINEAR));
    EXPECT_EQ(textures.findTexture("OVERLAY1")->width, 1024);
    textures.destroyTextures();
}

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
    ASSERT_EQ(warnings.size(), 4u);
    const std::string base = dir.string() + "/";
    EXPECT_TRUE(mentions(warnings, base + "plus.p", "PLUS"));
    EXPECT_TRUE(mentions(warnings, base + "bdl.p", "BRINDLE"));
    EXPECT_TRUE(mentions(warnings, base + "gdr.p is 256 x 128, not 512 x 128", "GALDER"));
    EXPECT_TRUE(mentions(warnings, base + "qn.p", "QN"));

    ASSERT_EQ(textures.textureCount(), 23u);
    for (const char* key : {"PLUS", "BRINDLE", "GALDER", "QN"}) {
        const TextureEntry* entry = textures.findTexture(key);
        ASSERT_NE(entry, nullptr) << key;
        EXPECT_EQ(entry->pixels.size(), static_cast<size_t>(entry->width) * entry->height * 4) << key;
        EXPECT_TRUE(allZero(entry->pixels)) << key;
    }
    EXPECT_EQ(textures.findTexture("PLUS")->width, 512);
    EXPECT_EQ(textures.findTexture("PLUS")->height, 512);
    EXPECT_FALSE(allZero(textures.findTexture("SQUARE")->pixels));
    EXPECT_FALSE(allZero(textures.findTexture("MESSAGE")->pixels));
    textures.destroyTextures();
}

TEST(Catalogue, RenderTargetsUseWindowAndQuarterSizes) {
    REQUIRE_GL();
    TextureRegistry textures;
    createRenderTargets(textures, 1920, 1080);
    EXPECT_EQ(textures.textureCount(), 7u);
    EXPECT_EQ(textures.renderTargetCount(), 6u);
    for (const char* key : {"DEFAULT_TARGET1", "DEFAULT_TARGET2", "DEFAULT_TARGET3"}) {
        EXPECT_EQ(textures.findTexture(key)->width, 1920) << key;
        EXPECT_EQ(textures.findTexture(key)->height, 1080) << key;
    }
    for (const char* key : {"BLUR1", "BLUR2", "BLUR3", "BLUR4"}) {
        const TextureEntry* entry = textures.findTexture(key);
        EXPECT_EQ(entry->width, 480) << key;
        EXPECT_EQ(entry->height, 270) << key;
        EXPECT_EQ(entry->mipmapMode, 0) << key;
        EXPECT_EQ(entry->minFilter, static_cast<GLenum>(GL_LINEAR)) << key;
    }

    const RenderTarget* withTwo = textures.findRenderTarget("RT_DEFAULT2");
    ASSERT_NE(withTwo, nullptr);
    ASSERT_EQ(withTwo->attachments.size(), 2u);
    EXPECT_EQ(withTwo->attachments[0].texture, textures.findTexture("DEFAULT_TARGET2"));
    EXPECT_EQ(withTwo->attachments[0].point, static_cast<GLenum>(GL_COLOR_ATTACHMENT0_EXT));
    EXPECT_EQ(withTwo->attachments[1].texture, textures.findTexture("DEFAULT_TARGET3"));
    EXPECT_EQ(withTwo->attachments[1].point, static_cast<GLenum>(GL_COLOR_ATTACHMENT1_EXT));
    const std::pair<const char*, const char*> single[] = {
        {"RT_DEFAULT1", "DEFAULT_TARGET1"}, {"RT_BLUR1", "BLUR1"}, {"RT_BLUR2", "BLUR2"},
        {"RT_BLUR3", "BLUR3"},             {"RT_BLUR4", "BLUR4"}};
    for (const auto& [targetKey, textureKey] : single) {
        const RenderTarget* target = textures.findRenderTarget(targetKey);
        ASSERT_NE(target, nullptr) << targetKey;
        ASSERT_EQ(target->attachments.size(), 1u) << targetKey;
        EXPECT_EQ(target->attachments[0].texture, textures.findTexture(textureKey)) << targetKey;
    }
    EXPECT_EQ(textures.findRenderTarget("RT_BLUR4")->width, 480);
    textures.destroyTextures();

    createRenderTargets(textures, 1366, 768);
    EXPECT_EQ(textures.findTexture("BLUR3")->width, 341);
    EXPECT_EQ(textures.findTexture("BLUR3")->height, 192);
    EXPECT_EQ(textures.findRenderTarget("RT_BLUR1")->height, 192);
    textures.destroyTextures();
}
