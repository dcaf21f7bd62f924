#include "app/frame_writer.h"

FrameWriter::FrameWriter(size_t frameBytes, Write write)
    : write_(std::move(write))
    , buffers_(kBuffers, std::vector<uint8_t>(frameBytes))
{
    for (size_t i = 0; i < kBuffers; ++i)
        free_.push_back(i);
    thread_ = std::thread(&FrameWriter::run, this);
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
    return buffers_[filling_];
}

void FrameWriter::submit(uint64_t frame)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.emplace_back(frame, filling_);
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
    if (thread_.joinable())
        thread_.join();
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
        const auto [frame, buffer] = queue_.front();
        queue_.pop_front();
        const bool writing = failure_.empty();
        lock.unlock();
        std::string why;
        const bool ok = !writing || write_(frame, buffers_[buffer].data(), why);
        lock.lock();
        if (writing && ok)
            ++written_;
        else if (writing)
            failure_ = why.empty() ? "cannot write frame " + std::to_string(frame) : why;
        free_.push_back(buffer);
        changed_.notify_all();
    }
}
