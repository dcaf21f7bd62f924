// pass_timer.h: what each pass of a frame costs the GPU, from GL timestamp
// queries that are read back a few frames later, so measuring never makes the
// CPU wait for the GPU.
//
//   if (hasTimerQueries()) timer = std::make_unique<PassTimer>(passCount);  // context current
//   per frame: timer->mark() before each pass, timer->endFrame() after the last
//   timer->meanMs()   // one mean per pass over every frame read back
//
// A frame whose results are still not ready when its queries come round again
// is left out rather than waited for. Delete the timer with the context current.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/gl_api.h"

class PassTimer {
public:
    explicit PassTimer(int passes);
    ~PassTimer();
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

    // Stamps the start of the next pass of this frame; extra marks are ignored.
    void mark();
    // Stamps the end of the last pass and reads back the frames that are ready.
    void endFrame();

    // Mean GPU milliseconds of each pass; zeros before any frame was read back.
    std::vector<double> meanMs() const;

private:
    static constexpr int kFramesInFlight = 4;

    void collect(int slot);

    int passes_;
    std::vector<GLuint> queries_;  // kFramesInFlight rows of passes_ + 1 stamps
    std::vector<bool> pending_;    // per row: stamped and not yet read back
    int frame_ = 0;                // frames ended so far
    int stamped_ = 0;              // stamps taken in the current frame
    std::vector<double> totalMs_;
    int measured_ = 0;
};
