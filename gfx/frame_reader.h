// frame_reader.h: reads finished frames back from the back buffer as RGB rows.
//
// Frame k is read into one pixel buffer while frame k - 1, read into the other
// a frame ago and finished by now, is handed on: the read does not stall the
// drawing. Without pixel buffers in the driver each frame is read at once and
// handed on straight away.
//
//   FrameReader reader(width, height);                 // context current
//   after drawing frame k:  reader.read(k, take);
//   at the end:             reader.flush(take);        // the last frame read
//
// take(frame, rows) gets width * height RGB pixels, bottom row first as GL
// keeps them, valid only during the call. Delete the reader with the context
// current.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gfx/gl_api.h"

class FrameReader {
public:
    using Take = std::function<void(uint64_t frame, const uint8_t* bottomUp)>;

    FrameReader(int width, int height);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // Reads the back buffer as frame `frame`; hands on the frame read before it.
    void read(uint64_t frame, const Take& take);
    // Hands on the frame still in a pixel buffer, if any.
    void flush(const Take& take);

private:
    int width_, height_;
    GLuint buffers_[2] = {0, 0};
    int next_ = 0;
    bool pending_ = false;
    int pendingBuffer_ = 0;
    uint64_t pendingFrame_ = 0;
    std::vector<uint8_t> rows_;  // without pixel buffers
};
