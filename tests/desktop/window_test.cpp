// The letterbox for each aspect, and a real window: size, viewport, resizes
// undone and a full-screen size that did not hold.
#include <gtest/gtest.h>

#include "app/run_show.h"
#include "desktop/window.h"
#include "tests/support/gl_context.h"

TEST(Letterbox, IsACentred16By10BoxWhateverTheWindowAndCodeZeroSetsNothing)
{
    using enum AspectCode;
    // An all-zero box: none.
    for (const auto& [w, h, code, expected] : std::vector<std::tuple<int, int, AspectCode, std::array<int, 4>>> {
             {1920, 1080, Ratio16x10, {96, 0, 1728, 1080}},
             {1280, 1024, Ratio16x10, {0, 112, 1280, 800}},
             {1366, 768, Ratio16x10, {69, 0, 1228, 768}},
             {1280, 1025, Ratio16x10, {0, 112, 1280, 800}},
             {1920, 1080, Other, {}},
             {1920, 0, Ratio16x10, {}},
         }) {
        const auto box = letterboxFor(w, h, code);
        const std::array<int, 4> got
            = box ? std::array<int, 4> {box->x, box->y, box->width, box->height} : std::array<int, 4> {};
        EXPECT_EQ(got, expected) << w << "x" << h << " code " << static_cast<int>(code);
    }
    EXPECT_FLOAT_EQ(letterboxFor(1366, 768, Ratio16x10)->aspect, 1228.0f / 768.0f);
}

TEST(Window, OpensAtTheRequestedSizeWithTheLetterboxViewportUndoesAResizeAndStopsAtAFullScreenOne)
{
    DemoApplication app;
    app.width = 160;
    app.height = 128;
    app.aspect = AspectCode::Ratio5x4;
    app.samples = 4;
    std::string error;
    ASSERT_TRUE(openWindow(app, error)) << error;
    EXPECT_EQ(app.samples, 0);
    EXPECT_TRUE(app.extensions.loaded());
    int width = 0, height = 0;
    SDL_GetWindowSize(app.window, &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(160, 128));
    EXPECT_EQ(integers(GL_VIEWPORT, 4), (std::vector<GLint> {0, 14, 160, 100}));
    EXPECT_GT(integer(GL_STENCIL_BITS), 0);

    SDL_SetWindowSize(app.window, 300, 100);
    SDL_Event event {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    EXPECT_FALSE(handleEvent(app, event));
    SDL_GetWindowSize(app.window, &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(160, 128));
    EXPECT_TRUE(fullScreenKeptItsSize(app, error));

    // A window manager that answers full screen late, with the output's size:
    // the show stops when the answer comes, whenever that is.
    app.fullscreen = true;
    EXPECT_FALSE(handleEvent(app, event)) << "the size it was opened at is kept";
    EXPECT_TRUE(fullScreenKeptItsSize(app, error));
    SDL_SetWindowSize(app.window, 300, 100);
    EXPECT_TRUE(handleEvent(app, event));
    EXPECT_FALSE(fullScreenKeptItsSize(app, error));  // the line it gives is the Xwayland fault row's
    app.fullscreen = false;

    closeWindow(app);
    EXPECT_EQ(app.window, nullptr);
    EXPECT_EQ(app.glContext, nullptr);
    closeWindow(app);
}
