#include <gtest/gtest.h>

#include "app/gl_api.h"
#include "app/window.h"
#include "test_show.h"

namespace {

void expectBox(int w, int h, int code, int x, int y, int vw, int vh)
{
    const auto box = letterboxFor(w, h, code);
    ASSERT_TRUE(box.has_value()) << w << "x" << h;
    EXPECT_EQ(box->x, x) << w << "x" << h;
    EXPECT_EQ(box->y, y) << w << "x" << h;
    EXPECT_EQ(box->width, vw) << w << "x" << h;
    EXPECT_EQ(box->height, vh) << w << "x" << h;
}

std::array<int, 4> viewport()
{
    GLint v[4] = {};
    glGetIntegerv(GL_VIEWPORT, v);
    return {v[0], v[1], v[2], v[3]};
}

} // namespace

TEST(Letterbox, IsACentred16By10BoxWhateverTheWindow)
{
    expectBox(1920, 1080, 4, 96, 0, 1728, 1080);
    expectBox(1280, 1024, 4, 0, 112, 1280, 800);
    expectBox(1920, 1200, 4, 0, 0, 1920, 1200);
    expectBox(1680, 1050, 4, 0, 0, 1680, 1050);
    expectBox(1366, 768, 4, 69, 0, 1228, 768);
    EXPECT_FLOAT_EQ(letterboxFor(1366, 768, 4)->aspect, 1228.0f / 768.0f);
    // The code only decides whether the box is set, not its shape.
    for (int code = 1; code <= 4; ++code)
        expectBox(1280, 1024, code, 0, 112, 1280, 800);
}

TEST(Letterbox, UnknownAspectOrZeroHeightSetsNothing)
{
    EXPECT_FALSE(letterboxFor(1920, 1080, 0).has_value());
    EXPECT_FALSE(letterboxFor(1920, 1080, 5).has_value());
    EXPECT_FALSE(letterboxFor(1920, 1080, -1).has_value());
    EXPECT_FALSE(letterboxFor(1920, 0, 4).has_value());
}

TEST(Window, OpensAtTheRequestedSizeWithTheLetterboxViewport)
{
    DemoApplication app;
    app.width = 160;
    app.height = 128;
    app.aspectMode = 2;
    app.samples = 4;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    EXPECT_EQ(app.samples, 0);
    EXPECT_GE(app.glMajor, 2);
    EXPECT_TRUE(app.extensions.loaded());
    EXPECT_STREQ(SDL_GetWindowTitle(app.window), "brindle2o16");
    int w = 0, h = 0;
    SDL_GetWindowSize(app.window, &w, &h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 128);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 14, 160, 100}));
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_GT(stencilBits, 0);

    closeWindow(app);
    EXPECT_EQ(app.window, nullptr);
    EXPECT_EQ(app.glContext, nullptr);
    closeWindow(app);
}

TEST(Window, AspectZeroLeavesTheDefaultViewport)
{
    DemoApplication app;
    app.width = 100;
    app.height = 30;
    app.aspectMode = 0;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 100, 30}));
    GLfloat projection[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_EQ(projection[0], 1.0f);
    EXPECT_EQ(projection[5], 1.0f);
    closeWindow(app);
}

TEST(Window, AResizeIsUndoneAndTheLetterboxKept)
{
    DemoApplication app;
    app.width = 160;
    app.height = 100;
    app.aspectMode = 4;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    SDL_SetWindowSize(app.window, 300, 100);
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    EXPECT_FALSE(handleEvent(app, event));
    int w = 0, h = 0;
    SDL_GetWindowSize(app.window, &w, &h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 100);
    EXPECT_EQ(viewport(), (std::array<int, 4>{0, 0, 160, 100}));
    closeWindow(app);
}
