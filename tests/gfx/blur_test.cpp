// The full-screen quad and the separable blur, measured on real render targets.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx/asset_catalogue.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "gl_test_context.h"

namespace {

struct BlurRig {
    TextureRegistry textures;
    ProgramRegistry programs;
    RenderTarget* first = nullptr;
    RenderTarget* second = nullptr;

    BlurRig(int w, int h, const std::vector<uint8_t>& source) {
        std::string error;
        EXPECT_TRUE(buildPrograms(programs, error)) << error;
        textures.addTexture("SOURCE", w, h, 0, source.data(), GL_LINEAR, GL_LINEAR);
        first = &textures.addRenderTarget("RT_B", textures.addTexture("B", w, h, 0, nullptr, GL_LINEAR, GL_LINEAR));
        second = &textures.addRenderTarget("RT_A", textures.addTexture("A", w, h, 0, nullptr, GL_LINEAR, GL_LINEAR));
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    ~BlurRig() {
        textures.destroyTextures();
        programs.destroyPrograms();
    }
    std::vector<uint8_t> read(std::string_view key) {
        const TextureEntry& entry = *textures.findTexture(key);
        std::vector<uint8_t> texels(static_cast<size_t>(entry.width) * entry.height * 4);
        glBindTexture(GL_TEXTURE_2D, entry.glName);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }
};

int redAt(const std::vector<uint8_t>& texels, int width, int x, int y) { return texels[(y * width + x) * 4]; }

}  // namespace

TEST(Blur, OffsetsFollowTheFirstTargetsSize) {
    const BlurOffsets soft = blurOffsets(480, 270, 1.5f);
    const float h15[6] = {0.003125f, 0, 0.00625f, 0, 0.009375f, 0};
    const float v15[6] = {0, 0.0055556f, 0, 0.0111111f, 0, 0.0166667f};
    const BlurOffsets glow = blurOffsets(480, 270, 1.75f);
    const float h175[6] = {0.0036458f, 0, 0.0072917f, 0, 0.0109375f, 0};
    const float v175[6] = {0, 0.0064815f, 0, 0.0129630f, 0, 0.0194444f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(soft.horizontal[i], h15[i], 6e-8) << i;
        EXPECT_NEAR(soft.vertical[i], v15[i], 6e-8) << i;
        EXPECT_NEAR(glow.horizontal[i], h175[i], 6e-8) << i;
        EXPECT_NEAR(glow.vertical[i], v175[i], 6e-8) << i;
    }
}

TEST(Blur, FlatPictureComesOutUnchangedInBothTargets) {
    REQUIRE_GL();
    const int w = 40, h = 24;
    std::vector<uint8_t> source(w * h * 4);
    for (size_t i = 0; i < source.size(); i += 4) {
        source[i] = 100;
        source[i + 1] = 150;
        source[i + 2] = 200;
        source[i + 3] = 255;
    }
    BlurRig rig(w, h, source);
    separableBlur(rig.textures, rig.programs, *rig.first, *rig.second, "SOURCE", 1.5f);
    for (std::string_view key : {"A", "B"}) {
        const std::vector<uint8_t> out = rig.read(key);
        int worst = 0;
        for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, std::abs(out[i] - source[i]));
        EXPECT_LE(worst, 1) << key;
    }
}

TEST(Blur, SingleTexelSpreadsEquallyAcrossAndDown) {
    REQUIRE_GL();
    // Not square: the vertical taps must use the height, not the width.
    const int w = 64, h = 32, cx = 32, cy = 16;
    std::vector<uint8_t> source(w * h * 4, 0);
    for (int c = 0; c < 4; ++c) source[(cy * w + cx) * 4 + c] = 255;
    BlurRig rig(w, h, source);

    glEnable(GL_BLEND);
    glViewport(0, 0, 64, 64);
    separableBlur(rig.textures, rig.programs, *rig.first, *rig.second, "SOURCE", 1.5f);

    // Float copies of the result would be more precise; 8-bit targets are what
    // the show uses, so allow one step of rounding per comparison.
    const std::vector<uint8_t> out = rig.read("A");
    const int centre = redAt(out, w, cx, cy);
    EXPECT_GT(centre, 0);
    int previous = centre;
    for (int d = 1; d <= 8; ++d) {
        const int right = redAt(out, w, cx + d, cy), left = redAt(out, w, cx - d, cy);
        const int down = redAt(out, w, cx, cy + d), up = redAt(out, w, cx, cy - d);
        EXPECT_NEAR(right, left, 1) << d;
        EXPECT_NEAR(down, up, 1) << d;
        EXPECT_NEAR(right, down, 1) << d;
        EXPECT_LE(right, previous) << d;
        previous = right;
    }
    EXPECT_GT(redAt(out, w, cx + 3, cy), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) EXPECT_LE(redAt(out, w, x, y), centre);
    }

    // What the blur leaves behind.
    GLint value = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &value);
    EXPECT_EQ(value, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 64);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    ProgramEntry* blur = rig.programs.findProgram("SEPBLUR");
    GLfloat offsets[2];
    glGetUniformfv(blur->glProgram, ProgramRegistry::findUniform(*blur, "offsets")->location, offsets);
    EXPECT_EQ(offsets[0], 0.0f);
    EXPECT_FLOAT_EQ(offsets[1], 1.5f / 32.0f);
}

TEST(ScreenQuad, RestoresMatricesAndDrawsWithTheBoundTextureForAMissingKey) {
    REQUIRE_GL();
    TextureRegistry textures;
    const std::vector<uint8_t> green = {0, 255, 0, 255};
    TextureEntry& bound = textures.addTexture("GREEN", 1, 1, 0, green.data(), GL_NEAREST, GL_NEAREST);
    RenderTarget& target =
        textures.addRenderTarget("RT", textures.addTexture("OUT", 8, 8, 0, nullptr, GL_NEAREST, GL_NEAREST));

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2, 3, 4);
    GLfloat projectionBefore[16], modelviewBefore[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);

    glEnable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, bound.glName);
    TextureRegistry::bindRenderTarget(target);
    glBindTexture(GL_TEXTURE_2D, bound.glName);
    drawScreenQuad(textures, "NO_SUCH_TEXTURE", 1.0f, 1.0f);
    TextureRegistry::unbindRenderTarget();

    GLfloat projectionAfter[16], modelviewAfter[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
    EXPECT_EQ(std::vector<float>(projectionAfter, projectionAfter + 16),
              std::vector<float>(projectionBefore, projectionBefore + 16));
    EXPECT_EQ(std::vector<float>(modelviewAfter, modelviewAfter + 16),
              std::vector<float>(modelviewBefore, modelviewBefore + 16));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    std::vector<uint8_t> out(8 * 8 * 4);
    glBindTexture(GL_TEXTURE_2D, textures.findTexture("OUT")->glName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    EXPECT_EQ(out[(3 * 8 + 3) * 4 + 1], 255);
    EXPECT_EQ(out[(3 * 8 + 3) * 4 + 0], 0);
    textures.destroyTextures();
}
