// frame_writer.h: writes captured frames on a thread of its own, so the next
// frame is drawn while the last one is encoded.
//
//   FrameWriter writer(width * height * 3, [&](uint64_t frame, const uint8_t* rgb, std::string& error) {
//       return writePng(nameOf(frame), width, height, rgb, error);
//   });
//   std::vector<uint8_t>& buffer = writer.acquire();   // fill it with frame k
//   writer.submit(k);
//   ...
//   if (!writer.finish(error)) report(error);
//
// A few buffers circulate; acquire() waits while every one of them is still
// queued, so a slow encoder holds the drawing back instead of piling frames
// up. Frames are written in the order they are submitted. After the first
// failed write the rest are dropped and failed() turns true.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FrameWriter {
public:
    using Write = std::function<bool(uint64_t frame, const uint8_t* rgb, std::string& error)>;

    FrameWriter(size_t frameBytes, Write write);
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // A buffer of frameBytes for the next frame; waits while none is free.
    std::vector<uint8_t>& acquire();
    // Queues the buffer acquire() gave as frame `frame`.
    void submit(uint64_t frame);
    // Waits until every queued frame is written and stops the thread. False,
    // with the first failure in `error`, when a write failed.
    bool finish(std::string& error);

    bool failed() const;
    uint64_t written() const;

private:
    static constexpr size_t kBuffers = 2;

    void run();

    Write write_;
    std::vector<std::vector<uint8_t>> buffers_;
    std::vector<size_t> free_;                       // indices of buffers ready to fill
    std::deque<std::pair<uint64_t, size_t>> queue_;  // (frame, buffer) waiting to be written
    size_t filling_ = 0;                             // the buffer acquire() handed out
    bool stopping_ = false;
    std::string failure_;
    uint64_t written_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};
