// The catalogue's program, image and render-target steps on a real context.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "gfx/asset_catalogue.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "tests/support/gl_context.h"
#include "tools/palette_image_writer.h"

namespace {

// A flat grey image file, written by the generators' own encoder and then spoilt.
void writeFlatImage(
    const std::filesystem::path& path, int width, int height, uint8_t grey,
    void (*spoil)(std::vector<uint8_t>&) = [](std::vector<uint8_t>&) {})
{
    IndexedImage image(width, height);
    std::fill(image.indices.begin(), image.indices.end(), grey);
    std::vector<uint8_t> bytes = encodePaletteImage(image);
    spoil(bytes);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(Catalogue, EveryBuiltInProgramCompilesLinksAndFindsItsUniforms)
{
    REQUIRE_GL();
    ProgramRegistry programs;
    std::string error;
    ASSERT_TRUE(buildPrograms(programs, error)) << error;
    for (const char* key : {"PP_SHADOWED", "PP", "SHADOW_PASS", "SHADOW_PASS_TEXTURED", "OVERLAY", "SEPBLUR"}) {
        ProgramEntry* program = programs.findProgram(key);
        ASSERT_TRUE(program && program->linked) << key;
        // The light map's sample feeds a value the shader never uses, so the
        // compiler drops it; any other missing location is a misspelt name.
        for (const UniformSlot& slot : program->uniforms) {
            EXPECT_EQ(slot.location == -1, slot.name == "lightMap") << key << " " << slot.name;
        }
    }
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    programs.destroyPrograms();
}

TEST(Catalogue, SkippedFilesLeaveBlankTexturesAndOneWarningEach)
{
    REQUIRE_GL();
    // Every image a flat grey whose level is its row number, then four spoilt.
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "catalogue_broken";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets())
        writeFlatImage(dir / asset.file, asset.width, asset.height, row++);
    std::filesystem::remove(dir / "plus.p");
    writeFlatImage(dir / "bdl.p", 512, 128, 1, [](std::vector<uint8_t>& bytes) { bytes[64] = 1; });
    writeFlatImage(dir / "gdr.p", 256, 128, 2);
    writeFlatImage(dir / "qn.p", 512, 128, 3, [](std::vector<uint8_t>& bytes) { bytes.resize(bytes.size() / 2); });

    TextureRegistry textures;
    const std::vector<std::string> warnings = loadImageTextures(textures, dir.string());
    const std::string base = dir.string() + "/";
    EXPECT_EQ(warnings,
        (std::vector<std::string> {
            "'" + base + "bdl.p' has a non-zero reserved header byte; BRINDLE stays blank",
            "'" + base + "gdr.p' is 256 x 128, not 512 x 128; GALDER stays blank",
            "'" + base + "qn.p' ends before its last row; QN stays blank",
            "'" + base + "plus.p' is missing or unreadable; PLUS stays blank",
        }));
    ASSERT_EQ(textures.textureCount(), imageAssets().size());
    // Blank textures at the table's size; every other image in its own texture.
    row = 1;
    for (const ImageAsset& asset : imageAssets()) {
        const TextureEntry& entry = *textures.findTexture(asset.key);
        EXPECT_EQ(texels(entry.glName).back(), row > 4 ? row : 0) << asset.key;
        EXPECT_EQ(entry.wrap, static_cast<GLenum>(asset.repeating ? GL_REPEAT : GL_CLAMP_TO_EDGE)) << asset.key;
        ++row;
    }
    textures.destroyTextures();
}

TEST(Catalogue, RenderTargetsUseWindowAndQuarterSizes)
{
    REQUIRE_GL();
    TextureRegistry textures;
    createRenderTargets(textures, 1366, 768);
    EXPECT_EQ(textures.findTexture("DEFAULT_TARGET2")->width, 1366);
    EXPECT_EQ(textures.findTexture("BLUR3")->width, 341);
    EXPECT_EQ(textures.findTexture("BLUR3")->height, 192);
    for (const char* key : {"RT_DEFAULT1", "RT_DEFAULT2", "RT_BLUR1", "RT_BLUR2", "RT_BLUR3", "RT_BLUR4"}) {
        ASSERT_NE(textures.findRenderTarget(key), nullptr) << key;
        EXPECT_EQ(textures.findRenderTarget(key)->attachments.size(), 1u) << key;
    }
    EXPECT_EQ(
        textures.findRenderTarget("RT_DEFAULT2")->attachments[0].texture, textures.findTexture("DEFAULT_TARGET2"));
    textures.destroyTextures();
}
