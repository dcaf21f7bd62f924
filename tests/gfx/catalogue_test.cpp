// The catalogue's program and image steps on a real context. Its render targets
// are held by the reference frames and, at sizes that round to nothing, by the
// tiny-window fault row.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "gfx/asset_catalogue.h"
#include "gfx/program_handles.h"
#include "gfx/program_registry.h"
#include "gfx/shader_sources.h"
#include "gfx/texture_registry.h"
#include "tests/support/gl_context.h"
#include "tests/support/process.h"
#include "tools/palette_image_writer.h"

namespace {

void writeFlatImage(const std::filesystem::path& path, int width, int height, uint8_t grey)
{
    IndexedImage image(width, height);
    std::ranges::fill(image.indices, grey);
    std::string error;
    ASSERT_TRUE(writePaletteImageFile(path.string(), image, error)) << error;
}

}  // namespace

// A handle is never half found: a program or slot that is missing, or a used
// uniform the driver does not have, fails the lookup by name.
TEST(Catalogue, AProgramLookupFailsNamingWhatIsMissing)
{
    REQUIRE_GL();
    struct Row {
        const char* vertexKey;
        const char* fragmentKey;
        std::vector<std::string_view> slots;
        std::string error;
    };
    const Row rows[] = {
        {nullptr, nullptr, {}, "the built-in program PP is missing"},
        {"PP_VERT", "PP_FRAG", {"tex"}, "the program PP has no slot for its uniform pixelate"},
        {"SHADOWPASS_VERT", "SHADOWPASS_FRAG", {"tex", "pixelate"},
            "the built-in program PP has no active uniform tex; update the graphics driver"},
        {"PP_VERT", "PP_FRAG", {"tex", "pixelate"}, ""},
    };
    for (const Row& row : rows) {
        ProgramRegistry programs;
        if (row.vertexKey) {
            for (const char* key : {row.vertexKey, row.fragmentKey}) {
                const ShaderSource& source = *findBuiltInShader(key);
                ASSERT_TRUE(programs.addShader(key, source.type, source.text)) << key;
            }
            ProgramEntry& program = *programs.addProgram("PP", row.vertexKey, row.fragmentKey);
            for (std::string_view name : row.slots)
                programs.addUniform(program, UniformType::Int, name);
        }
        TexturedProgram handle;
        std::string error;
        EXPECT_EQ(findProgram(programs, "PP", handle, error), row.error.empty()) << row.error;
        EXPECT_EQ(error, row.error);
        programs.destroyPrograms();
    }
}

TEST(Catalogue, AnImageOfTheWrongSizeLeavesABlankTextureAndOneWarning)
{
    REQUIRE_GL();
    // Every image a flat grey whose level is its row number, one of the wrong
    // size. A missing file is the missing-image fault row's, the decoder's
    // refusals the broken-images row's.
    ScratchDir scratch("catalogue");
    const std::filesystem::path& dir = scratch.path();
    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets())
        writeFlatImage(dir / asset.file, asset.width, asset.height, row++);
    writeFlatImage(dir / "gdr.p", 256, 128, 2);

    TextureRegistry textures;
    const std::vector<std::string> warnings = loadImageTextures(textures, dir.string());
    EXPECT_EQ(warnings,
        (std::vector<std::string> {"'" + dir.string() + "/gdr.p' is 256 x 128, not 512 x 128; GALDER stays blank"}));
    ASSERT_EQ(textures.textureCount(), imageAssets().size());
    // A blank texture at the table's size; every other image in its own texture.
    row = 1;
    for (const ImageAsset& asset : imageAssets()) {
        const TextureEntry& entry = *textures.findTexture(asset.key);
        EXPECT_EQ(texels(entry.glName).back(), row == 2 ? 0 : row) << asset.key;
        EXPECT_EQ(entry.wrap, static_cast<GLenum>(asset.repeating ? GL_REPEAT : GL_CLAMP_TO_EDGE)) << asset.key;
        ++row;
    }
    textures.destroyTextures();
}
