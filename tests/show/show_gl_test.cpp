// The show on the shared (software) GL context: fast-forward against drawing,
// the light's GL state, the GL state a frame and each element leave behind, a
// beat's light dip, the GL errors each pass hands up, and the schedule seen in
// frames compared with small references.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/configurator.h"
#include "gfx/gl_state.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/show_state.h"
#include "show/camera_projection.h"
#include "show/frame_driver.h"
#include "show/lighting.h"
#include "state_bits.h"
#include "tests/support/gl_context.h"
#include "tests/support/reference_picture.h"

namespace {

// The real show at a size up to the window's, without audio: frames see a steady,
// silent spectrum unless a test makes it jump.
struct OffscreenShow {
    DemoApplication app;
    std::unique_ptr<ShowState> scene;
    std::unique_ptr<ShowFrameState> show;
    uint32_t next = 0;  // the time of the next frame runTo skips or draws
    std::vector<float> quiet = std::vector<float>(1024, 0.0f);

    // Empty once the show is built, else why it could not be.
    std::string open(int width, int height)
    {
        app.width = width;
        app.height = height;
        app.dataDir = BRINDLE_TEST_DATA_DIR;
        QuillonConfigurator assets(app);
        if (!glContextError().empty() || !assets.loadAssets())
            return glContextError() + assets.error();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        setupCameraProjection(0, 0, width, height);
        scene = buildShowState();
        show = std::make_unique<ShowFrameState>(*scene, app.music);
        std::string error;
        resolveShowAssets(app.programs, app.textures, show->assets, error);
        return error;
    }
    ~OffscreenShow() { app.releaseGraphics(); }

    void frame(uint32_t t, float step)
    {
        renderFrame(*show, t, step, nullptr);
        show->beats.analyse(quiet.data());
        next = t + 40;
    }
    // Skips frames every 40 ms from the last one (the first at 0), then draws the one at t.
    void runTo(uint32_t t)
    {
        for (; next < t; next += 40) {
            advanceFrame(*show, nullptr, next, next ? 40 / 500.0f : 0.002f);
            show->beats.analyse(quiet.data());
        }
        frame(t, (t + 40 - next) / 500.0f);
    }
};

#define OPEN_SHOW(name, width, height)                                                                                 \
    OffscreenShow name;                                                                                                \
    ASSERT_EQ(name.open(width, height), "")

// The floor along the bottom of the picture, away from every element.
double floorBrightness()
{
    const Picture floor = readPicture(kGlWindowWidth, 32, 32);
    return std::accumulate(floor.rgb.begin(), floor.rgb.end(), 0.0) / static_cast<double>(floor.rgb.size());
}

}  // namespace

TEST(ShowGl, DrawnFramesMakeTheStateFastForwardMakes)
{
    OPEN_SHOW(drawn, 80, 50);
    ShowFrameState& show = *drawn.show;
    EXPECT_EQ(
        showDigest(show, [&](uint32_t t, float step) { renderFrame(show, t, step, nullptr); }), kRecordedShowDigest);
}

// The first frame lies under the opening fade: drawn without the passes (and
// so without any asset) it is still, byte for byte, the frame renderFrame draws.
TEST(ShowGl, ACoveredFrameIsTheFrameRenderFrameDraws)
{
    OPEN_SHOW(full, 80, 50);
    OPEN_SHOW(covered, 80, 50);
    ASSERT_TRUE(fadesCover(full.show->fades, 0));
    const auto drawnOnWhite = [](const auto& draw) {
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        draw();
        return readPicture(kGlWindowWidth, kGlWindowHeight).rgb;
    };
    const std::vector<uint8_t> expected = drawnOnWhite([&] { renderFrame(*full.show, 0, 0.002f, nullptr); });
    EXPECT_EQ(drawnOnWhite([&] { renderCoveredFrame(*covered.show, 0, 0.002f, nullptr, 80, 50); }), expected);
    EXPECT_EQ(covered.show->fades.done, full.show->fades.done);
}

TEST(ShowGl, LightViewAndLightReachTheGLStateABeatDipsItAndAFrameRestoresWhatItFound)
{
    OPEN_SHOW(show, kGlWindowWidth, kGlWindowHeight);
    LightMatrices read;
    pushScreenProjection();  // saves both matrices, which the light's view replaces
    setupLightView(read);
    popScreenProjection();
    // The light at (-4, 5, 0) looks down -z through a 40 x 40 box from 0.1 to 100.
    const Matrix4 expected = {0.05f, 0, 0, 0, 0, 0.05f, 0, 0, 0, 0, -2.0f / 99.9f, 0, 0.2f, -0.25f, -100.1f / 99.9f, 1};
    EXPECT_THAT(read.projectionView, testing::Pointwise(testing::FloatNear(1e-6f), expected));
    // Letterboxed, so a frame target's full-size viewport left behind would show.
    glViewport(0, 10, kGlWindowWidth, kGlWindowHeight - 20);
    auto leftState = [] {
        std::vector<GLint> state
            = {integer(GL_ATTRIB_STACK_DEPTH), integer(GL_PROJECTION_STACK_DEPTH), integer(GL_MODELVIEW_STACK_DEPTH),
                integer(GL_FRAMEBUFFER_BINDING_EXT), integer(GL_CURRENT_PROGRAM), 0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, &state[5]);
        return state;
    };
    const std::vector<GLint> before = leftState();
    show.frame(40000, 0.04f);
    const double lit = floorBrightness();
    show.show->beats.analyse(std::vector<float>(1024, 1.0f).data());
    show.frame(40001, 0.002f);
    const double dark = floorBrightness();
    EXPECT_LT(dark, lit * 0.95);
    EXPECT_GT(dark, lit * 0.5);

    // Every element and the banners leave it as they found it.
    for (uint32_t t : {10000u, 40020u, 80000u, 91500u}) {
        show.frame(t, 0.04f);
        EXPECT_EQ(leftState(), before) << t;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ShowGl, GlErrorsAreHandedUpUnderThePassThatRaisedThem)
{
    OPEN_SHOW(show, 80, 50);
    using Findings = std::vector<std::pair<std::string, std::string>>;
    Findings found;
    show.show->glErrors = [&](const PassGlError& e) { found.emplace_back(e.pass ? e.pass : "(before)", e.error); };
    glMatrixMode(0);
    show.frame(40000, 0.04f);
    EXPECT_EQ(found, (Findings {{"(before)", "GL_INVALID_ENUM"}}));
    // A texture bent to another target fails to bind in every pass that binds it.
    found.clear();
    TextureEntry& bent = *show.app.textures.findTexture("DEFAULT_TARGET1");
    bent.target = GL_TEXTURE_3D;
    show.frame(40000, 0.04f);
    bent.target = GL_TEXTURE_2D;
    EXPECT_EQ(found,
        (Findings {{"shadow_blur", "GL_INVALID_OPERATION"}, {"camera_blur", "GL_INVALID_OPERATION"},
            {"bleed", "GL_INVALID_OPERATION"}}));
}

TEST(ShowGl, ScheduleShowsInFramesComparedWithReferences)
{
    OPEN_SHOW(show, kGlWindowWidth, kGlWindowHeight);
    for (uint32_t t : {1000u, 15000u, 29000u, 36000u, 50000u, 80000u, 91500u, 115000u, 126000u}) {
        show.runTo(t);
        const std::string path = BRINDLE_REFERENCES "/frame_" + std::to_string(t) + ".png";
        EXPECT_EQ(matchReference(path, readPicture(kGlWindowWidth, kGlWindowHeight, 4)), "") << t;
    }
}

// The references cannot tell these apart. A plus field drawn unblended or a
// swarm drawn blended changes the frames by less than their tolerance (a
// banner drawn unblended they do catch), and the pixelate uniform carries over
// from one draw to the next, where what the previous draw left often matches.
TEST(ShowGl, ElementsSetTheirOwnBlendingAndSharpnessAndBannersDrawOnlyInTheirWindow)
{
    OPEN_SHOW(show, kGlWindowWidth, kGlWindowHeight);
    ShowState& s = *show.scene;
    const ShowAssets& assets = show.show->assets;
    const TexturedProgram& pp = assets.programs.pp;
    glUseProgram(pp.entry->glProgram);
    auto pixelate = [&] {
        float value = -1.0f;
        glGetUniformfv(pp.entry->glProgram, pp.pixelate->location, &value);
        return value;
    };
    drawPlusField(s.plus, assets.images[ImageId::Plus], pp, paletteColour(s, 0), {});
    EXPECT_EQ(std::tuple(glIsEnabled(GL_BLEND), integer(GL_BLEND_DST), pixelate()),
        std::tuple(GL_TRUE, GL_ONE_MINUS_SRC_ALPHA, 1024.0f));
    ProgramRegistry::setFloats(*pp.pixelate, 8.0f);
    drawSquareSwarm(s.swarm, assets.images[ImageId::Square], pp, paletteColour(s, 0));
    EXPECT_EQ(std::tuple(glIsEnabled(GL_BLEND), pixelate()), std::tuple(GL_FALSE, 1024.0f));
    GreetingBanner& banner = s.greetingBanners[0];
    updateGreetingBanner(banner, 0.04f, banner.startMs);
    drawGreetingBanner(banner, assets.images[banner.image], pp, paletteColour(s, 1), banner.startMs);
    EXPECT_EQ(pixelate(), banner.pixelate);
    ProgramRegistry::setFloats(*pp.pixelate, 8.0f);
    drawGreetingBanner(banner, assets.images[banner.image], pp, paletteColour(s, 1), banner.endMs + 1);
    EXPECT_EQ(pixelate(), 8.0f);
    glUseProgram(0);
}
