// The full-screen quad and the separable blur, measured on real render targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "gfx/asset_catalogue.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "gl_test_context.h"

namespace {

std::vector<uint8_t> texels(const TextureEntry& entry) {
    std::vector<uint8_t> out(static_cast<size_t>(entry.width) * entry.height * 4);
    glBindTexture(GL_TEXTURE_2D, entry.glName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// Blurs a w x h RGBA source between two targets of its size; "A" is the
// second target's texture, "B" the first's.
struct BlurRig {
    TextureRegistry textures;
    ProgramRegistry programs;

    BlurRig(int w, int h, const std::vector<uint8_t>& source) {
        std::string error;
        EXPECT_TRUE(buildPrograms(programs, error)) << error;
        const TextureEntry& picture = textures.addTexture("SOURCE", w, h, 0, source.data(), GL_LINEAR, GL_LINEAR);
        RenderTarget& first = textures.addRenderTarget("RT_B", textures.addTexture("B", w, h, 0, nullptr, GL_LINEAR, GL_LINEAR));
        RenderTarget& second = textures.addRenderTarget("RT_A", textures.addTexture("A", w, h, 0, nullptr, GL_LINEAR, GL_LINEAR));
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glEnable(GL_BLEND);
        glViewport(0, 0, 64, 64);
        ProgramEntry* blur = programs.findProgram("SEPBLUR");
        EXPECT_NE(blur, nullptr);
        const BlurProgram program{blur, blur ? ProgramRegistry::findUniform(*blur, "offsets") : nullptr};
        separableBlur(program, first, second, &picture, 1.5f);
    }
    ~BlurRig() {
        textures.destroyTextures();
        programs.destroyPrograms();
    }
};

}  // namespace

TEST(Blur, OffsetsFollowTheFirstTargetsSize) {
    const BlurOffsets soft = blurOffsets(480, 270, 1.5f), glow = blurOffsets(480, 270, 1.75f);
    const float expected[4][6] = {{0.003125f, 0, 0.00625f, 0, 0.009375f, 0},
                                  {0, 0.0055556f, 0, 0.0111111f, 0, 0.0166667f},
                                  {0.0036458f, 0, 0.0072917f, 0, 0.0109375f, 0},
                                  {0, 0.0064815f, 0, 0.0129630f, 0, 0.0194444f}};
    const std::array<float, 6>* actual[4] = {&soft.horizontal, &soft.vertical, &glow.horizontal, &glow.vertical};
    for (int set = 0; set < 4; ++set) {
        for (int i = 0; i < 6; ++i) EXPECT_NEAR((*actual[set])[i], expected[set][i], 6e-8) << set << " " << i;
    }
}

TEST(Blur, FlatPictureComesOutUnchangedInBothTargets) {
    REQUIRE_GL();
    std::vector<uint8_t> source(40 * 24 * 4);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(100 + 50 * (i % 4));
    BlurRig rig(40, 24, source);
    for (std::string_view key : {"A", "B"}) {
        const std::vector<uint8_t> out = texels(*rig.textures.findTexture(key));
        for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], source[i], 1) << key << " byte " << i;
    }
}

TEST(Blur, SingleTexelSpreadsEquallyAcrossAndDownAndStateIsLeftAsDocumented) {
    REQUIRE_GL();
    // Not square: the vertical taps must use the height, not the width.
    const int w = 64, h = 32, cx = 32, cy = 16;
    std::vector<uint8_t> source(w * h * 4, 0);
    std::fill_n(source.begin() + (cy * w + cx) * 4, 4, 255);
    BlurRig rig(w, h, source);

    const std::vector<uint8_t> out = texels(*rig.textures.findTexture("A"));
    auto red = [&](int x, int y) { return static_cast<int>(out[(y * w + x) * 4]); };
    EXPECT_EQ(red(cx, cy), *std::max_element(out.begin(), out.end()));
    EXPECT_GT(red(cx + 3, cy), 0);
    // 8-bit targets round every pass, so neighbours may differ by one step.
    for (int d = 1; d <= 8; ++d) {
        EXPECT_NEAR(red(cx + d, cy), red(cx - d, cy), 1) << d;
        EXPECT_NEAR(red(cx, cy + d), red(cx, cy - d), 1) << d;
        EXPECT_NEAR(red(cx + d, cy), red(cx, cy + d), 1) << d;
        EXPECT_LE(red(cx + d, cy), red(cx + d - 1, cy)) << d;
    }
    GLint program = -1, framebuffer = -1, viewport[4];
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::tuple(program, framebuffer, viewport[3]), std::tuple(0, 0, 64));
    EXPECT_FALSE(glIsEnabled(GL_BLEND) || glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_DEPTH_TEST));
}

TEST(ScreenQuad, RestoresMatricesAndDrawsWithTheBoundTextureForAMissingOne) {
    REQUIRE_GL();
    TextureRegistry textures;
    const std::vector<uint8_t> green = {0, 255, 0, 255};
    TextureEntry& bound = textures.addTexture("GREEN", 1, 1, 0, green.data(), GL_NEAREST, GL_NEAREST);
    TextureEntry& out = textures.addTexture("OUT", 8, 8, 0, nullptr, GL_NEAREST, GL_NEAREST);
    RenderTarget& target = textures.addRenderTarget("RT", out);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2, 3, 4);
    std::array<GLfloat, 32> before{}, after{};
    glGetFloatv(GL_PROJECTION_MATRIX, before.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, before.data() + 16);

    glEnable(GL_DEPTH_TEST);
    TextureRegistry::bindRenderTarget(target);
    glBindTexture(GL_TEXTURE_2D, bound.glName);
    drawScreenQuad(nullptr, 1.0f, 1.0f);
    TextureRegistry::unbindRenderTarget();
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data() + 16);
    EXPECT_EQ(after, before);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(texels(out)[(3 * 8 + 3) * 4 + 1], 255);
    textures.destroyTextures();
}
