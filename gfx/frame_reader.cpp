// Reads frames back through two pixel buffers, one frame behind the drawing,
// or at once where the driver has none.
#include "gfx/frame_reader.h"

FrameReader::FrameReader(int width, int height)
    : width_(width)
    , height_(height)
{
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    if (!hasPixelBuffers()) {
        rows_.resize(bytes);
        return;
    }
    glGenBuffers(2, buffers_);
    for (GLuint buffer : buffers_) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

FrameReader::~FrameReader()
{
    if (buffers_[0])
        glDeleteBuffers(2, buffers_);
}

void FrameReader::read(uint64_t frame, const Take& take)
{
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!buffers_[0]) {
        glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows_.data());
        take(frame, rows_.data());
        return;
    }
    const int reading = next_;
    next_ = 1 - next_;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[reading]);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    flush(take);
    pending_ = true;
    pendingBuffer_ = reading;
    pendingFrame_ = frame;
}

void FrameReader::flush(const Take& take)
{
    if (!pending_)
        return;
    pending_ = false;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[pendingBuffer_]);
    if (const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY)) {
        take(pendingFrame_, static_cast<const uint8_t*>(mapped));
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    } else {
        // A driver may refuse the mapping (short of address space); a copy
        // still hands the frame on, so a capture never skips one.
        rows_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
        glGetBufferSubData(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(rows_.size()), rows_.data());
        take(pendingFrame_, rows_.data());
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}
