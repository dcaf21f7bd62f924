// Music decoded ahead into a ring that the output copies from.
#include "audio/read_ahead.h"

#include <algorithm>

namespace {

// Copies frames [first, last) between a linear buffer and a ring of
// `ringFrames` frames, in at most two pieces.
template<typename Copy> void eachPiece(int64_t first, int64_t last, int64_t ringFrames, Copy copy)
{
    while (first < last) {
        const int64_t slot = first % ringFrames;
        const int64_t count = std::min(last - first, ringFrames - slot);
        copy(first, slot, count);
        first += count;
    }
}

}  // namespace

ReadAhead::ReadAhead(TrackOpener reopen)
    : window_(nullptr, std::move(reopen))
    , decoded_(static_cast<size_t>(kStepFrames) * 2)
    , ring_(static_cast<size_t>(kRingFrames) * 2, 0.0f)
{
}

size_t ReadAhead::copy(int64_t first, size_t count, float* out)
{
    const int64_t last = first + static_cast<int64_t>(count);
    std::fill(out, out + count * 2, 0.0f);
    const std::lock_guard<std::mutex> lock(mutex_);
    next_ = std::max<int64_t>(last, 0);
    const int64_t from = std::max(first, begin_);
    const int64_t to = std::min(last, end_);
    eachPiece(from, to, kRingFrames, [&](int64_t frame, int64_t slot, int64_t frames) {
        std::copy_n(ring_.data() + slot * 2, frames * 2, out + (frame - first) * 2);
    });
    return to > from ? static_cast<size_t>(to - from) : 0;
}

// The output went somewhere the ring does not reach: start again there.
void ReadAhead::followOutput()
{
    if (next_ < begin_ || next_ > end_)
        begin_ = end_ = next_;
}

bool ReadAhead::decodeStep()
{
    int64_t from;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        followOutput();
        // Full: one more step would overwrite frames the output has not read.
        if (end_ + kStepFrames - next_ > kRingFrames)
            return false;
        from = end_;
    }
    window_.read(from, static_cast<size_t>(kStepFrames), decoded_.data());
    const std::lock_guard<std::mutex> lock(mutex_);
    eachPiece(from, from + kStepFrames, kRingFrames, [&](int64_t frame, int64_t slot, int64_t frames) {
        std::copy_n(decoded_.data() + (frame - from) * 2, frames * 2, ring_.data() + slot * 2);
    });
    end_ = from + kStepFrames;
    begin_ = std::max(begin_, end_ - kRingFrames);
    return true;
}

void ReadAhead::prepare(int64_t frame, int64_t frames)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        next_ = std::max<int64_t>(frame, 0);
        followOutput();
    }
    // Only this side moves end_, so it may be read here without the lock.
    const int64_t until = frame + std::max(frames, kPreparedFrames);
    while (end_ < until && decodeStep()) {
    }
}
