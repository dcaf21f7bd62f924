// The frame writer's workers: frames encoded side by side, stored in order.
#include "capture/frame_writer.h"

#include <system_error>

FrameWriter::FrameWriter(size_t frameBytes, unsigned threads, Encode encode, Store store)
    : encode_(std::move(encode))
    , store_(std::move(store))
{
    slots_.resize(threads + 1);
    for (size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].pixels.resize(frameBytes);
        free_.push_back(i);
    }
    try {
        for (unsigned i = 0; i < threads; ++i)
            threads_.emplace_back(&FrameWriter::run, this);
    } catch (const std::system_error&) {
        // Fewer workers than asked, or none: then submit() does the work.
    }
}

FrameWriter::~FrameWriter()
{
    std::string ignored;
    finish(ignored);
}

std::vector<uint8_t>& FrameWriter::acquire()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    filling_ = free_.back();
    free_.pop_back();
    return slots_[filling_].pixels;
}

void FrameWriter::submit(uint64_t frame)
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        slots_[filling_].frame = frame;
        slots_[filling_].turn = submitted_++;
        if (threads_.empty()) {
            process(slots_[filling_], lock);
            free_.push_back(filling_);
        } else {
            queue_.push_back(filling_);
        }
    }
    changed_.notify_all();
}

bool FrameWriter::finish(std::string& error)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        if (thread.joinable())
            thread.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_.empty())
        return true;
    error = failure_;
    return false;
}

bool FrameWriter::failed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !failure_.empty();
}

uint64_t FrameWriter::written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

void FrameWriter::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        const size_t index = queue_.front();
        queue_.pop_front();
        process(slots_[index], lock);
        free_.push_back(index);
        changed_.notify_all();
    }
}

void FrameWriter::process(Slot& slot, std::unique_lock<std::mutex>& lock)
{
    // A frame queued after a failure is never stored, so it need not be encoded.
    bool ok = true;
    std::string why;
    if (failure_.empty() && encode_) {
        lock.unlock();
        ok = encode_(slot.frame, slot.pixels.data(), slot.encoded, why);
        lock.lock();
    }
    changed_.wait(lock, [&] { return storing_ == slot.turn; });
    if (ok && failure_.empty()) {
        const std::vector<uint8_t>& bytes = encode_ ? slot.encoded : slot.pixels;
        lock.unlock();
        ok = store_(slot.frame, bytes.data(), bytes.size(), why);
        lock.lock();
        if (ok)
            ++written_;
    }
    if (!ok && failure_.empty())
        failure_ = why.empty() ? "cannot write frame " + std::to_string(slot.frame) : why;
    ++storing_;
}
