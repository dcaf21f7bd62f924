// frame_writer.h: encodes captured frames on worker threads and stores them in
// order, so the next frame is drawn while the last ones are encoded.
//
//   FrameWriter writer(width * height * 3, threads,
//       [&](uint64_t, const uint8_t* rgb, std::vector<uint8_t>& png, std::string& error) {
//           return encodePng(width, height, rgb, png, error);
//       },
//       [&](uint64_t frame, const uint8_t* bytes, size_t size, std::string& error) {
//           return writeWhole(nameOf(frame), bytes, size, error);
//       });
//   std::vector<uint8_t>& buffer = writer.acquire();   // fill it with frame k
//   writer.submit(k);
//   ...
//   if (!writer.finish(error)) report(error);
//
// Up to `threads` frames are encoded at once (with 0, or when no thread can
// be started, submit() encodes and stores the frame itself); each is stored
// once every frame submitted before it is, one at a time, so outputs appear
// in frame order.
// Without an encoder the pixels themselves are stored (a video pipe).
// threads + 1 buffers circulate: acquire() waits while every one of them is
// taken, so a slow encoder holds the drawing back instead of piling frames up.
// After the first failure the frames not yet stored are dropped and failed()
// turns true; the frames stored are always the first ones submitted.
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
    using Encode = std::function<bool(uint64_t frame, const uint8_t* pixels, std::vector<uint8_t>& encoded,
        std::string& error)>;
    using Store = std::function<bool(uint64_t frame, const uint8_t* bytes, size_t size, std::string& error)>;

    FrameWriter(size_t frameBytes, unsigned threads, Encode encode, Store store);
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // A buffer of frameBytes for the next frame; waits while none is free.
    std::vector<uint8_t>& acquire();
    // Queues the buffer acquire() gave as frame `frame`.
    void submit(uint64_t frame);
    // Waits until every queued frame is stored and stops the threads. False,
    // with the first failure in `error`, when a frame could not be stored.
    bool finish(std::string& error);

    bool failed() const;
    uint64_t written() const;

private:
    struct Slot {
        uint64_t frame = 0;
        uint64_t turn = 0;  // its place in the order of submission
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> encoded;
    };

    void run();
    // Encodes and stores one slot; the lock is held on entry and on return.
    void process(Slot& slot, std::unique_lock<std::mutex>& lock);

    Encode encode_;
    Store store_;
    std::vector<Slot> slots_;
    std::vector<size_t> free_;   // slots ready to fill
    std::deque<size_t> queue_;   // slots waiting for a thread
    size_t filling_ = 0;         // the slot acquire() handed out
    uint64_t submitted_ = 0;     // turns handed out
    uint64_t storing_ = 0;       // the turn whose frame is stored next
    bool stopping_ = false;
    std::string failure_;
    uint64_t written_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> threads_;
};
