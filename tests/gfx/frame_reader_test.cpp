// Frame read-back on a real GL context.
#include <gtest/gtest.h>

#include <tuple>

#include "gfx/frame_reader.h"
#include "tests/support/gl_context.h"

// Each frame reaches the taker once, in order, with its own picture, bottom
// row first, whether the driver reads through pixel buffers or directly, and
// when it refuses to map a pixel buffer.
TEST(FrameReader, HandsEachFrameOnOnceInOrderBottomRowFirst)
{
    REQUIRE_GL();
    constexpr int kWidth = 16, kHeight = 8;
    const PFNGLMAPBUFFERPROC mapBuffer = brindle_glMapBuffer;
    for (const bool refuseMapping : {false, true}) {
        if (refuseMapping && mapBuffer)
            brindle_glMapBuffer = [](GLenum, GLenum) -> void* { return nullptr; };
        // (frame, red of the top row, green of the bottom row) as handed on.
        std::vector<std::tuple<uint64_t, int, int>> taken;
        const FrameReader::Take take = [&](uint64_t frame, const uint8_t* rows) {
            taken.emplace_back(frame, rows[(kHeight - 1) * kWidth * 3], rows[1]);
        };
        {
            FrameReader reader(kWidth, kHeight);
            glDisable(GL_SCISSOR_TEST);
            for (uint64_t frame = 10; frame < 13; ++frame) {
                glClearColor(static_cast<float>(frame - 9) * 0.25f, 0.0f, 0.0f, 1.0f);
                glClear(GL_COLOR_BUFFER_BIT);
                glEnable(GL_SCISSOR_TEST);
                glScissor(0, 0, kWidth, 1);
                glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
                glClear(GL_COLOR_BUFFER_BIT);
                glDisable(GL_SCISSOR_TEST);
                reader.read(frame, take);
            }
            reader.flush(take);
            reader.flush(take);
        }
        brindle_glMapBuffer = mapBuffer;
        const std::vector<std::tuple<uint64_t, int, int>> expected = {{10, 64, 255}, {11, 128, 255}, {12, 191, 255}};
        EXPECT_EQ(taken, expected) << "mapping refused: " << refuseMapping;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}
