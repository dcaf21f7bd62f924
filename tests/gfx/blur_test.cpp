// The full-screen quad and the separable blur, measured on real render targets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gfx/asset_catalogue.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "tests/support/gl_context.h"

TEST(BlurOffsets, FollowTheFirstTargetsSizeAndTheStrength)
{
    using testing::FloatNear, testing::Pointwise;
    const BlurOffsets glow = blurOffsets(480, 270, 1.75f);
    EXPECT_THAT(glow.horizontal, Pointwise(FloatNear(6e-8f), {0.0036458f, 0.0f, 0.0072917f, 0.0f, 0.0109375f, 0.0f}));
    EXPECT_THAT(glow.vertical, Pointwise(FloatNear(6e-8f), {0.0f, 0.0064815f, 0.0f, 0.0129630f, 0.0f, 0.0194444f}));
}

TEST(Blur, SpreadsLinesEquallyAcrossAndDownKeepsFlatAreasUnblendedAndTakesTheBoundTextureForAMissingSource)
{
    REQUIRE_GL();
    // A red column and a red row on flat green, blue and alpha. Not square: the
    // vertical taps must use the height, not the width.
    const int w = 128, h = 64, cx = 64, cy = 32;
    std::vector<uint8_t> source(w * h * 4);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(50 * (i % 4));
    for (int i = 0; i < w * h; ++i)
        source[i * 4] = i % w == cx || i / w == cy ? 255 : 0;

    TextureRegistry textures;
    ProgramRegistry programs;
    std::string error;
    ASSERT_TRUE(buildPrograms(programs, error)) << error;
    const TextureEntry& picture = textures.addTexture("SOURCE", w, h, source.data(), GL_LINEAR, GL_LINEAR);
    RenderTarget& first
        = textures.addRenderTarget("RT_B", textures.addTexture("B", w, h, nullptr, GL_LINEAR, GL_LINEAR));
    RenderTarget& second
        = textures.addRenderTarget("RT_A", textures.addTexture("A", w, h, nullptr, GL_LINEAR, GL_LINEAR));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    applyDrawState({.blend = Blend::Alpha, .depthTest = true});
    glViewport(0, 0, 64, 48);
    BlurProgram blur;
    ASSERT_TRUE(findProgram(programs, "SEPBLUR", blur, error)) << error;
    glBindTexture(GL_TEXTURE_2D, picture.glName);
    glMatrixMode(GL_PROJECTION);
    separableBlur(blur, first, second, nullptr, 1.5f);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);

    const std::vector<uint8_t> out = texels(textures.findTexture("A")->glName);
    auto red = [&](int x, int y) { return static_cast<int>(out[(y * w + x) * 4]); };
    // Recorded from the blur as it stands: eight passes at 1.5 texels per tap
    // step. 8-bit targets round every pass, so a level may be one step off.
    const int profile[] = {34, 31, 28, 21, 14, 9, 5, 3, 1, 0};
    for (int d = 0; d < 10; ++d) {
        EXPECT_NEAR(red(cx + d, 2), profile[d], 1) << d;
        EXPECT_NEAR(red(cx - d, 2), profile[d], 1) << d;
        EXPECT_NEAR(red(2, cy + d), profile[d], 1) << d;
        EXPECT_NEAR(red(2, cy - d), profile[d], 1) << d;
    }
    // Far from the lines, and at the edges, every channel keeps its level.
    for (int x : {0, 8, w - 1})
        for (int y : {0, h - 1})
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(out[(y * w + x) * 4 + c], 50 * c, 1) << x << "," << y;
    textures.destroyTextures();
    programs.destroyPrograms();
}
