// Renders each element at a moment of its stretch, from the show's camera, and
// compares the picture with a stored reference. The element states are brought
// there by the same per-call updates the show runs (two calls per frame at 60
// frames per second); the textures are small procedural stand-ins.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "reference_image.h"
#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/square_swarm.h"
#include "show_random_helpers.h"
#include "tests/gfx/gl_test_context.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 150;
constexpr float kStep = (1000.0f / 60.0f) / 500.0f;

const Rgba kSlot0{177 / 255.0f, 68 / 255.0f, 115 / 255.0f, 1.0f};
const Rgba kSlot1{209 / 255.0f, 187 / 255.0f, 80 / 255.0f, 1.0f};

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

std::string referencePath(const char* name)
{
    return std::string(BRINDLE_SCENE_REFERENCES) + "/" + name;
}

// A 16 x 16 plus sign, opaque on transparent.
std::vector<uint8_t> plusTexture()
{
    std::vector<uint8_t> rgba(16 * 16 * 4, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool bar = (x >= 6 && x < 10 && y >= 2 && y < 14) || (y >= 6 && y < 10 && x >= 2 && x < 14);
            for (int c = 0; c < 4; ++c)
                rgba[(y * 16 + x) * 4 + c] = bar ? 255 : 0;
        }
    return rgba;
}

// A 16 x 16 square outline.
std::vector<uint8_t> squareTexture()
{
    std::vector<uint8_t> rgba(16 * 16 * 4, 255);
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x)
            for (int c = 0; c < 3; ++c)
                rgba[(y * 16 + x) * 4 + c] = 60;
    return rgba;
}

// 64 x 8 blocks standing in for lettering: a fixed pattern of bright and clear cells.
std::vector<uint8_t> letteringTexture()
{
    std::vector<uint8_t> rgba(64 * 8 * 4, 0);
    for (int y = 1; y < 7; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool ink = ((x / 3 + y) % 4 != 0) && (x % 8 != 7);
            for (int c = 0; c < 4; ++c)
                rgba[(y * 64 + x) * 4 + c] = ink ? 255 : 0;
        }
    return rgba;
}

class SceneReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL();
        const std::vector<uint8_t> plus = plusTexture(), square = squareTexture(), letters = letteringTexture();
        textures_.addTexture("PLUS", 16, 16, 0, plus.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("SQUARE", 16, 16, 0, square.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("TORVALE", 64, 8, 0, letters.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("MISKEN", 64, 8, 0, letters.data(), GL_NEAREST, GL_NEAREST);
        TextureEntry& colour = textures_.addTexture("TARGET", kWidth, kHeight, 0, nullptr, GL_NEAREST, GL_NEAREST);
        target_ = &textures_.addRenderTarget("RT_TARGET", colour);
        ASSERT_TRUE(programs_.addShader("V", GL_VERTEX_SHADER, kVertex)) << programs_.lastLog();
        ASSERT_TRUE(programs_.addShader("F", GL_FRAGMENT_SHADER, kFragment)) << programs_.lastLog();
        program_ = programs_.addProgram("P", "V", "F");
        ASSERT_TRUE(program_ && program_->linked) << programs_.lastLog();
        programs_.addUniform(*program_, UniformType::Int, "tex");
        programs_.addUniform(*program_, UniformType::Float, "pixelate");

        TextureRegistry::bindRenderTarget(*target_);
        glClearColor(0.12f, 0.3f, 0.27f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        // The show's camera at rest, with its 93.1-degree lens on a 16:10 picture.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(93.1, 1.6, 0.01, 10000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(5, 2, -2, 2, 5, -12, 0, 1, 0);
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
        glClearColor(0, 0, 0, 0);
        TextureRegistry::unbindRenderTarget();
        programs_.destroyPrograms();
        textures_.destroyTextures();
    }

    RgbaImage picture() const
    {
        RgbaImage image;
        image.width = kWidth;
        image.height = kHeight;
        image.pixels.resize(kWidth * kHeight * 4);
        std::vector<uint8_t> bottomUp(image.pixels.size());
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        const size_t row = kWidth * 4;
        for (int y = 0; y < kHeight; ++y)
            std::copy_n(&bottomUp[(kHeight - 1 - y) * row], row, &image.pixels[y * row]);
        for (size_t i = 3; i < image.pixels.size(); i += 4)
            image.pixels[i] = 255;
        return image;
    }

    TextureRegistry textures_;
    ProgramRegistry programs_;
    ProgramEntry* program_ = nullptr;
    RenderTarget* target_ = nullptr;
};

// A spectrum whose low bins are loud and high bins quiet, so sizes vary along x.
std::array<float, 1024> fallingSpectrum()
{
    std::array<float, 1024> spectrum{};
    for (int k = 0; k <= 64; ++k)
        spectrum[k] = 0.2f / (1.0f + 0.15f * k);
    return spectrum;
}

struct PlusRun {
    PlusField field;
    ShowRandom random = showRandomAfter(43900);
    float scatter = 0.0f;
    float fade = 1.0f;

    PlusRun()
    {
        buildPlusField(field);
        ShowRandom build = showRandomAfter(0);
        fillPlusParticles(field, build);
    }

    // Both passes' updates of the frames from 4000 ms to just before `untilMs`,
    // with the timeline's scatter, fade and spin in the field's last five seconds.
    void runTo(uint32_t untilMs)
    {
        for (double t = 4000.0; t < untilMs; t += 1000.0 / 60.0)
            for (int pass = 0; pass < 2; ++pass) {
                timelineRules(static_cast<uint32_t>(t));
                advancePlusField(field, kStep, scatter, random);
            }
    }

    void timelineRules(uint32_t t)
    {
        if (t < 27000 || t > 32000)
            return;
        scatter = std::min(scatter + 0.25f * kStep, 1.0f);
        fade = std::max(fade - 0.05f * kStep, 0.0f);
        for (int k = 0; k < kPlusParticleCount; ++k)
            field.spinAngle[k] += field.driftRate[k] * kStep * 10.0f;
    }
};

}  // namespace

TEST_F(SceneReference, PlusTrailsGrowAcrossTheScene)
{
    PlusRun run;
    run.runTo(15000);
    const std::array<float, 1024> spectrum = fallingSpectrum();
    drawPlusField(run.field, run.random, textures_, *program_, kSlot0, kStep, run.scatter, run.fade,
                  spectrum.data());
    const std::string mismatch = matchReference(referencePath("plus_trails.png"), picture());
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

TEST_F(SceneReference, PlusFieldScattersSpinsAndFades)
{
    PlusRun run;
    run.runTo(29000);
    const std::array<float, 1024> spectrum = fallingSpectrum();
    drawPlusField(run.field, run.random, textures_, *program_, kSlot0, kStep, run.scatter, run.fade,
                  spectrum.data());
    const std::string mismatch = matchReference(referencePath("plus_scatter.png"), picture());
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

TEST_F(SceneReference, SwarmOrbitsAtItsLowestHeight)
{
    SquareSwarm swarm;
    ShowRandom random = showRandomAfter(2500);
    buildSquareSwarm(swarm, random);
    for (double t = 72000.0; t < 80000.0; t += 1000.0 / 60.0)
        for (int pass = 0; pass < 2; ++pass)
            advanceSquareSwarm(swarm, kStep);
    drawSquareSwarm(swarm, textures_, *program_, kSlot0, kStep, 15.0f);
    const std::string mismatch = matchReference(referencePath("swarm.png"), picture());
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

TEST_F(SceneReference, OneGreetingBurstsWhileTheNextDropsIn)
{
    ShowRandom random = showRandomAfter(3900);
    std::array<GreetingBanner, 2> banners = {
        buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random),
        buildGreetingBanner("MISKEN", 91000, 94000, 0, 0.025f, random),
    };
    float level = 0.0f;
    double t = 89000.0;
    for (; t < 91500.0; t += 1000.0 / 60.0)
        for (int pass = 0; pass < 2; ++pass)
            for (GreetingBanner& banner : banners)
                updateGreetingBanner(banner, kStep, static_cast<uint32_t>(t), level);
    for (GreetingBanner& banner : banners)
        drawGreetingBanner(banner, textures_, *program_, banner.paletteSlot == 0 ? kSlot0 : kSlot1, kStep,
                           static_cast<uint32_t>(t));
    const std::string mismatch = matchReference(referencePath("greetings.png"), picture());
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}
