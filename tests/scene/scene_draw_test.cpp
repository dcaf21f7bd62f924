// Draws each element into a small off-screen target through a program that
// declares "tex" and "pixelate", and checks what lands there and the GL state
// each draw leaves behind.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/square_swarm.h"
#include "show_random_helpers.h"
#include "tests/gfx/gl_test_context.h"

namespace {

constexpr int kSize = 128;

const char* kVertex = R"(
void main() {
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
})";

const char* kFragment = R"(
uniform sampler2D tex;
uniform float pixelate;
void main() {
    vec2 uv = gl_TexCoord[0].st;
    if (pixelate < 512.0) uv = floor(uv * pixelate) / pixelate;
    gl_FragColor = texture2D(tex, uv) * gl_Color;
})";

const Rgba kPink{177 / 255.0f, 68 / 255.0f, 115 / 255.0f, 1.0f};

class SceneDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL();
        const std::array<uint8_t, 16> white = {255, 255, 255, 255, 255, 255, 255, 255,
                                               255, 255, 255, 255, 255, 255, 255, 255};
        for (const char* key : {"PLUS", "SQUARE", "TORVALE"})
            textures_.addTexture(key, 2, 2, 0, white.data(), GL_NEAREST, GL_NEAREST);
        TextureEntry& colour = textures_.addTexture("TARGET", kSize, kSize, 0, nullptr, GL_NEAREST, GL_NEAREST);
        target_ = &textures_.addRenderTarget("RT_TARGET", colour);
        ASSERT_TRUE(programs_.addShader("V", GL_VERTEX_SHADER, kVertex)) << programs_.lastLog();
        ASSERT_TRUE(programs_.addShader("F", GL_FRAGMENT_SHADER, kFragment)) << programs_.lastLog();
        program_ = programs_.addProgram("P", "V", "F");
        ASSERT_NE(program_, nullptr);
        ASSERT_TRUE(program_->linked) << programs_.lastLog();
        programs_.addUniform(*program_, UniformType::Int, "tex");
        programs_.addUniform(*program_, UniformType::Float, "pixelate");

        TextureRegistry::bindRenderTarget(*target_);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glUseProgram(program_->glProgram);
    }

    void TearDown() override
    {
        if (!GlTestContext::instance().ready())
            return;
        glUseProgram(0);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        TextureRegistry::unbindRenderTarget();
        programs_.destroyPrograms();
        textures_.destroyTextures();
    }

    // World window seen straight along -z, parallel projection.
    static void view(float left, float right, float bottom, float top)
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(left, right, bottom, top, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    std::vector<uint8_t> pixels() const
    {
        std::vector<uint8_t> out(kSize * kSize * 4);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    static int coveredCount(const std::vector<uint8_t>& rgba)
    {
        int n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4)
            n += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
        return n;
    }

    static const uint8_t* at(const std::vector<uint8_t>& rgba, int x, int y) { return &rgba[(y * kSize + x) * 4]; }

    float uniformFloat(const char* name) const
    {
        float v = -1.0f;
        glGetUniformfv(program_->glProgram, glGetUniformLocation(program_->glProgram, name), &v);
        return v;
    }

    TextureRegistry textures_;
    ProgramRegistry programs_;
    ProgramEntry* program_ = nullptr;
    RenderTarget* target_ = nullptr;
};

TEST_F(SceneDraw, GreetingBannerShowsOnlyInsideItsWindow)
{
    view(-16, 16, -6, 26);
    ShowRandom random = showRandomAfter(3900);
    GreetingBanner banner = buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random);

    drawGreetingBanner(banner, textures_, *program_, kPink, 0.05f, 88999);
    EXPECT_EQ(coveredCount(pixels()), 0);

    drawGreetingBanner(banner, textures_, *program_, kPink, 0.05f, 89000);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(uniformFloat("pixelate"), banner.pixelate);
    const std::vector<uint8_t> first = pixels();
    // Cells span x -12..12 and y 17.2..20.5 (offset 19.2, depth ignored by the view).
    const uint8_t* middle = at(first, kSize / 2, (19.0f + 6) / 32 * kSize);
    EXPECT_NEAR(middle[0], 177, 1);
    EXPECT_NEAR(middle[1], 68, 1);
    EXPECT_EQ(*at(first, kSize / 2, kSize / 2), 0) << "still high above its resting place";
    EXPECT_EQ(*at(first, 2, (19.0f + 6) / 32 * kSize), 0) << "nothing beyond x = -12";

    glClear(GL_COLOR_BUFFER_BIT);
    drawGreetingBanner(banner, textures_, *program_, kPink, 0.05f, 92001);
    EXPECT_EQ(coveredCount(pixels()), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneDraw, BurstCellsSpreadBeyondTheBanner)
{
    view(-16, 16, -6, 26);
    ShowRandom random = showRandomAfter(3900);
    GreetingBanner banner = buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random);
    for (int call = 0; call < 200; ++call)
        drawGreetingBanner(banner, textures_, *program_, kPink, 0.03f, 89500);
    glClear(GL_COLOR_BUFFER_BIT);
    drawGreetingBanner(banner, textures_, *program_, kPink, 0.03f, 89500);
    const std::vector<uint8_t> settled = pixels();
    // Landed at y offset 4.5: the cells cover x -12..12.3, y 3..6.3.
    const int area = coveredCount(settled);
    EXPECT_EQ(*at(settled, kSize / 2, (7.5f + 6) / 32 * kSize), 0);
    EXPECT_NEAR(area, 24.0f * 3.3f * (kSize / 32.0f) * (kSize / 32.0f), area * 0.1f);

    float level = 0.0f;
    for (int call = 0; call < 60; ++call)
        updateGreetingBanner(banner, 0.03f, 91500, level);
    glClear(GL_COLOR_BUFFER_BIT);
    drawGreetingBanner(banner, textures_, *program_, kPink, 0.03f, 91500);
    const std::vector<uint8_t> burst = pixels();
    int aboveRight = 0;  // directions are all positive: cells fly up, right and forward
    for (int y = (7.5f + 6) / 32 * kSize; y < kSize; ++y)
        for (int x = kSize / 2; x < kSize; ++x)
            aboveRight += at(burst, x, y)[0] != 0;
    EXPECT_GT(aboveRight, 0);
}

TEST_F(SceneDraw, PlusFieldDrawsBlendedSharpSprites)
{
    view(-30, 30, -20, 40);
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);
    glEnable(GL_BLEND);
    drawPlusField(field, random, textures_, *program_, kPink, 0.02f, 0.0f, 1.0f, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(uniformFloat("pixelate"), 1024.0f);

    // Silence: g = 1.15, every clump at (x, 1.575 y + 2.5) with half size 0.4025.
    const std::vector<uint8_t> rgba = pixels();
    const float x = 24.0f - 0.03f;
    const float y = 1.575f * 3.0f + 2.5f;
    const uint8_t* clump = at(rgba, (x + 30) / 60 * kSize, (y + 20) / 60 * kSize);
    EXPECT_NEAR(clump[0], 177, 1);
    EXPECT_EQ(*at(rgba, kSize / 2, kSize / 2), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneDraw, FadedPlusFieldIsDrawnTransparent)
{
    view(-30, 30, -20, 40);
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);
    drawPlusField(field, random, textures_, *program_, kPink, 0.02f, 0.0f, 0.0f, nullptr);
    EXPECT_EQ(coveredCount(pixels()), 0);
}

TEST_F(SceneDraw, SquareSwarmRingsTheCentreAndLeavesBlendingAlone)
{
    view(-20, 20, 5, 45);
    SquareSwarm swarm;
    ShowRandom random = showRandomAfter(2500);
    buildSquareSwarm(swarm, random);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    drawSquareSwarm(swarm, textures_, *program_, kPink, 0.02f, 25.0f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    drawSquareSwarm(swarm, textures_, *program_, kPink, 0.02f, 25.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(uniformFloat("pixelate"), 1024.0f);

    const std::vector<uint8_t> rgba = pixels();
    EXPECT_EQ(*at(rgba, kSize / 2, (25 - 5) * kSize / 40), 0) << "the centre stays empty";
    int onRing = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float wx = x * 40.0f / kSize - 20, wy = y * 40.0f / kSize + 5 - 25;
            const float r2 = wx * wx + wy * wy;
            const bool covered = at(rgba, x, y)[0] != 0;
            if (covered) {
                EXPECT_GT(r2, 10.0f * 10.0f) << x << "," << y;
            }
            onRing += covered;
        }
    EXPECT_GT(onRing, 200);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneDraw, MissingTexturesStillDrawEveryElement)
{
    TextureRegistry empty;
    view(-30, 30, -20, 40);
    PlusField field;
    buildPlusField(field);
    ShowRandom random = showRandomAfter(0);
    fillPlusParticles(field, random);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures_.findTexture("PLUS")->glName);
    drawPlusField(field, random, empty, *program_, kPink, 0.02f, 0.0f, 1.0f, nullptr);
    EXPECT_GT(coveredCount(pixels()), 0);

    GreetingBanner banner = buildGreetingBanner("NOT THERE", 0, 100, 0, 0.025f, random);
    drawGreetingBanner(banner, empty, *program_, kPink, 0.02f, 50);
    SquareSwarm swarm;
    buildSquareSwarm(swarm, random);
    drawSquareSwarm(swarm, empty, *program_, kPink, 0.02f, 15.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
