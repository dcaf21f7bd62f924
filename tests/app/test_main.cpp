#include <gtest/gtest.h>

#include <cstdlib>

#include <SDL.h>

int main(int argc, char** argv)
{
    // Without an X server the window tests run on SDL's offscreen driver.
    if (!std::getenv("DISPLAY"))
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    SDL_Quit();
    return result;
}
