// The show on a real (software) GL context: light state, the light's view, the
// GL state a frame leaves to the main loop, a beat's light dip, and the schedule
// seen in captured frames compared with small references.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gfx/gl_api.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"
#include "show/frame_driver.h"
#include "show/lighting.h"
#include "show_harness.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr int kShrink = 4;

// A show that has not run yet, shared by the tests that only inspect GL state.
ShowHarness& harness()
{
    static ShowHarness instance;
    static std::string error;
    static const bool opened = instance.open(kWidth, kHeight, BRINDLE_TEST_DATA_DIR, error);
    EXPECT_TRUE(opened) << error;
    return instance;
}

// Tests that run the show through time get a show of their own.
#define OPEN_SHOW(name)                                                      \
    ShowHarness name;                                                        \
    {                                                                        \
        std::string error;                                                   \
        ASSERT_TRUE(name.open(kWidth, kHeight, BRINDLE_TEST_DATA_DIR, error)) << error; \
    }

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

double meanBrightness(const RgbImage& image, int x0, int y0, int x1, int y1)
{
    double total = 0.0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c)
                total += image.pixel(x, y)[c];
    return total / (3.0 * (x1 - x0) * (y1 - y0));
}

// Pixels in the banners' gold: strong red and green, little blue.
int goldPixels(const RgbImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.pixel(x, y);
            if (p[0] > 150 && p[1] > 120 && p[2] < p[1] - 50)
                ++count;
        }
    }
    return count;
}

TEST(ShowGlTest, LightViewMaterialAndLightReachTheGLState)
{
    harness();
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    LightMatrices read;
    setupLightView(read);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth + 1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    const LightMatrices built = lightMatricesFromConstants();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(read.projectionView[i], built.projectionView[i], 1e-6f) << i;

    glPushMatrix();
    glLoadIdentity();
    setupLight(0.75f);
    applyMaterial({0.8f, 0.4f, 0.2f, 1.0f}, 0.5f);
    glPopMatrix();
    float value[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, value);
    EXPECT_FLOAT_EQ(value[0], 0.5625f);
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);
    EXPECT_FLOAT_EQ(value[2], -6.0f);
    glGetMaterialfv(GL_BACK, GL_AMBIENT, value);
    EXPECT_FLOAT_EQ(value[0], materialFor({0.8f, 0.4f, 0.2f, 1.0f}, 0.5f).ambient[0]);
    EXPECT_FLOAT_EQ(value[3], 0.5f);
    glGetFloatv(GL_CURRENT_COLOR, value);
    EXPECT_FLOAT_EQ(value[0], 0.4f);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST(ShowGlTest, FrameRestoresTheStacksAndTheViewportAndLeavesTheWindowBound)
{
    ShowHarness& show = harness();
    // Letterboxed, so a frame target's full-size viewport left behind would show.
    glViewport(0, 10, kWidth, kHeight - 20);
    const GLint attribDepth = integer(GL_ATTRIB_STACK_DEPTH);
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelviewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
    GLint resting[4];
    glGetIntegerv(GL_VIEWPORT, resting);

    renderFrame(show.frameState(), show.lastTime() + 20, 0.04f, nullptr);
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), attribDepth);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
    GLint after[4];
    glGetIntegerv(GL_VIEWPORT, after);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(after[i], resting[i]);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ShowGlTest, MissingFrameTargetsKeepTheAttributeStackBalanced)
{
    ShowHarness& show = harness();
    TextureRegistry noTextures;
    auto bare = buildShowState(show.app().music, show.app().programs, noTextures);
    ShowFrameState bareShow(*bare);
    const GLint attribDepth = integer(GL_ATTRIB_STACK_DEPTH);
    for (uint32_t t : {40000u, 40020u}) {
        renderFrame(bareShow, t, 0.04f, nullptr);
        EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), attribDepth) << t;
    }
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST(ShowGlTest, ScheduleShowsInCapturedFrames)
{
    OPEN_SHOW(show);
    const char* update = std::getenv("BRINDLE_UPDATE_SHOW_REFERENCES");
    const uint32_t times[] = {1000, 36000, 50000, 115000, 126000};
    RgbImage frames[5];
    for (int i = 0; i < 5; ++i) {
        show.runTo(times[i], 40);
        frames[i] = show.read();
        const RgbImage small = shrink(frames[i], kShrink);
        const std::string name = "/frame_" + std::to_string(times[i]) + ".png";
        std::string error;
        if (update) {
            ASSERT_TRUE(writePng(update + name, small, error)) << error;
            continue;
        }
        RgbImage reference;
        ASSERT_TRUE(readPng(BRINDLE_SHOW_REFERENCE_DIR + name, reference, error)) << error;
        EXPECT_LT(meanDifference(small, reference), 4.0) << name;
    }

    // The first seconds are mostly black: the fade in still covers three quarters.
    EXPECT_LT(meanBrightness(frames[0], 0, 0, kWidth, kHeight),
              0.4 * meanBrightness(frames[1], 0, 0, kWidth, kHeight));
    EXPECT_EQ(goldPixels(frames[0]), 0);
    // Every banner stretch shows gold lettering.
    for (int i = 1; i < 5; ++i)
        EXPECT_GT(goldPixels(frames[i]), 30) << times[i];
}

TEST(ShowGlTest, BeatDipsTheLightOnTheBackdrop)
{
    OPEN_SHOW(show);
    show.runTo(21000, 40);
    const RgbImage before = show.read();
    show.beatNextFrame();
    show.frame(21001, 0.002f);
    const RgbImage dipped = show.read();
    // The floor near the bottom of the picture, away from every element.
    const double lit = meanBrightness(before, 0, kHeight - 30, kWidth, kHeight);
    const double dark = meanBrightness(dipped, 0, kHeight - 30, kWidth, kHeight);
    EXPECT_LT(dark, lit * 0.95);
    EXPECT_GT(dark, lit * 0.5);
}

}  // namespace
