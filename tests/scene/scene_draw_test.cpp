// Draws the elements off-screen through a program that declares "tex" and
// "pixelate", from the show's resting camera, and checks the GL state each draw
// leaves and the pictures against stored references. Element states are brought
// to a moment of the show by the same per-call updates the show runs (two calls
// per frame at 60 frames per second).
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "gfx/program_handles.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/square_swarm.h"
#include "show_random_helpers.h"
#include "tests/support/gl_context.h"
#include "tests/support/reference_picture.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 150;
constexpr double kFrameMs = 1000.0 / 60.0;
constexpr float kStep = (1000.0f / 60.0f) / 500.0f;
const Rgba kSlot0 {177 / 255.0f, 68 / 255.0f, 115 / 255.0f, 1.0f};
const Rgba kSlot1 {209 / 255.0f, 187 / 255.0f, 80 / 255.0f, 1.0f};

const char* kVertex = "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_FrontColor = gl_Color;"
                      " gl_Position = ftransform(); }";
const char* kFragment = R"(
uniform sampler2D tex;
uniform float pixelate;
void main() {
    vec2 uv = gl_TexCoord[0].st;
    if (pixelate < 512.0) uv = floor(uv * pixelate) / pixelate;
    gl_FragColor = texture2D(tex, uv) * gl_Color;
})";

// Stand-ins for the images: `ink` decides which texels are opaque white.
template<typename Ink> std::vector<uint8_t> texture(int w, int h, Ink ink)
{
    std::vector<uint8_t> rgba(size_t(w) * h * 4, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink(x, y))
                std::fill_n(&rgba[(size_t(y) * w + x) * 4], 4, 255);
    return rgba;
}

class SceneDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL();
        const auto plus = texture(16, 16, [](int x, int y) {
            return (x >= 6 && x < 10 && y >= 2 && y < 14) || (y >= 6 && y < 10 && x >= 2 && x < 14);
        });
        const auto square = texture(16, 16, [](int x, int y) { return x < 2 || x > 13 || y < 2 || y > 13; });
        const auto letters
            = texture(64, 8, [](int x, int y) { return y > 0 && y < 7 && (x / 3 + y) % 4 && x % 8 != 7; });
        textures_.addTexture("PLUS", 16, 16, 0, plus.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("SQUARE", 16, 16, 0, square.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("TORVALE", 64, 8, 0, letters.data(), GL_NEAREST, GL_NEAREST);
        textures_.addTexture("MISKEN", 64, 8, 0, letters.data(), GL_NEAREST, GL_NEAREST);
        TextureEntry& colour = textures_.addTexture("TARGET", kWidth, kHeight, 0, nullptr, GL_NEAREST, GL_NEAREST);
        TextureRegistry::bindRenderTarget(textures_.addRenderTarget("RT_TARGET", colour));
        ASSERT_TRUE(programs_.addShader("V", GL_VERTEX_SHADER, kVertex)) << programs_.lastLog();
        ASSERT_TRUE(programs_.addShader("F", GL_FRAGMENT_SHADER, kFragment)) << programs_.lastLog();
        program_ = programs_.addProgram("P", "V", "F");
        ASSERT_TRUE(program_ && program_->linked) << programs_.lastLog();
        programs_.addUniform(*program_, UniformType::Int, "tex");
        programs_.addUniform(*program_, UniformType::Float, "pixelate");
        handle_ = {program_, ProgramRegistry::findUniform(*program_, "tex"),
            ProgramRegistry::findUniform(*program_, "pixelate")};
        glUseProgram(program_->glProgram);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        clear();
        // The show's camera at rest, with its 93.1-degree lens on a 16:10 picture.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(93.1, 1.6, 0.01, 10000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(5, 2, -2, 2, 5, -12, 0, 1, 0);
    }

    void TearDown() override
    {
        if (!TestGlContext::error().empty())
            return;
        glUseProgram(0);
        glDisable(GL_BLEND);
        TextureRegistry::unbindRenderTarget();
        programs_.destroyPrograms();
        textures_.destroyTextures();
    }

    static void clear()
    {
        glClearColor(0.12f, 0.3f, 0.27f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    static void expectReference(const char* name)
    {
        EXPECT_EQ(matchReference(std::string(BRINDLE_REFERENCES) + "/" + name, readPicture(kWidth, kHeight)), "");
    }

    float pixelate() const
    {
        float v = -1.0f;
        glGetUniformfv(program_->glProgram, handle_.pixelate->location, &v);
        return v;
    }

    TextureRegistry textures_;
    ProgramRegistry programs_;
    ProgramEntry* program_ = nullptr;
    TexturedProgram handle_;
};

}  // namespace

TEST_F(SceneDraw, PlusTrailsGrowThenScatterAndFade)
{
    PlusField field;
    buildPlusField(field);
    ShowRandom build = showRandomAfter(0), random = showRandomAfter(43900);
    fillPlusParticles(field, build);
    std::array<float, 1024> spectrum {};
    for (int k = 0; k <= 64; ++k)  // loud low bins, quiet high ones: sizes vary along x
        spectrum[k] = 0.2f / (1.0f + 0.15f * k);
    // Both passes of every frame from 4000 ms, with the timeline's scatter, fade
    // and spin during the field's last five seconds; then one pass drawn.
    float scatter = 0.0f, fade = 1.0f;
    double t = 4000.0;
    for (const auto& [untilMs, reference] : {std::pair(15000.0, "plus_trails.png"), {29000.0, "plus_scatter.png"}}) {
        for (; t < untilMs; t += kFrameMs)
            for (int pass = 0; pass < 2; ++pass) {
                if (t >= 27000.0) {
                    scatter = std::min(scatter + 0.25f * kStep, 1.0f);
                    fade = std::max(fade - 0.05f * kStep, 0.0f);
                    for (int k = 0; k < kPlusParticleCount; ++k)
                        field.spinAngle[k] += field.driftRate[k] * kStep * 10.0f;
                }
                advancePlusField(field, kStep, scatter, random);
            }
        clear();
        advancePlusField(field, kStep, scatter, random);
        drawPlusField(field, textures_.findTexture("PLUS"), handle_, kSlot0, scatter, fade, spectrum.data());
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(pixelate(), 1024.0f);
        expectReference(reference);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneDraw, SwarmDrawsUnblended)
{
    SquareSwarm swarm;
    ShowRandom random = showRandomAfter(2500);
    buildSquareSwarm(swarm, random);
    // Both passes of every frame from 72000 ms up to the one drawn just after 80000.
    for (double t = 72000.0; t < 80000.0 + kFrameMs; t += kFrameMs) {
        advanceSquareSwarm(swarm, kStep);
        advanceSquareSwarm(swarm, kStep);
    }
    glEnable(GL_BLEND);
    drawSquareSwarm(swarm, textures_.findTexture("SQUARE"), handle_, kSlot0, 15.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(pixelate(), 1024.0f);
    expectReference("swarm.png");
}

TEST_F(SceneDraw, GreetingsDrawOnlyInTheirWindowsAndBurst)
{
    ShowRandom random = showRandomAfter(3900);
    std::array<GreetingBanner, 2> banners = {
        buildGreetingBanner("TORVALE", 89000, 92000, 1, 0.025f, random),
        buildGreetingBanner("MISKEN", 91000, 94000, 0, 0.025f, random),
    };
    auto pass = [&](GreetingBanner& banner, uint32_t t) {
        updateGreetingBanner(banner, kStep, t);
        drawGreetingBanner(
            banner, textures_.findTexture(banner.textureKey), handle_, banner.paletteSlot ? kSlot1 : kSlot0, t);
    };
    pass(banners[0], 89000);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(pixelate(), banners[0].pixelate);
    for (double t = 89000.0 + kFrameMs; t < 91500.0; t += kFrameMs)
        for (int run = 0; run < 2; ++run)
            for (GreetingBanner& banner : banners)
                updateGreetingBanner(banner, kStep, uint32_t(t));
    clear();
    for (GreetingBanner& banner : banners)
        pass(banner, 91500);
    expectReference("greetings.png");

    clear();
    const Picture blank = readPicture(kWidth, kHeight);
    pass(banners[0], 92001);
    EXPECT_EQ(readPicture(kWidth, kHeight).rgb, blank.rgb) << "nothing drawn after the end";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
