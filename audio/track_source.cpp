// Reading a whole track, and random reads over a forward-only decoder that
// keep only the latest frames.
#include <algorithm>

#include "audio/decoded_track.h"
#include "audio/track_source.h"

namespace {

// A source whose first block is already decoded.
class PrimedSource final : public TrackSource {
public:
    PrimedSource(std::unique_ptr<TrackSource> source, std::vector<float> first)
        : source_(std::move(source))
        , first_(std::move(first))
    {
    }

    size_t read(float* out, size_t frames) override
    {
        const size_t taken = std::min((first_.size() - used_) / 2, frames);
        std::copy_n(first_.data() + used_, taken * 2, out);
        used_ += taken * 2;
        if (taken == frames)
            return taken;
        std::vector<float>().swap(first_);
        used_ = 0;
        return taken + source_->read(out + taken * 2, frames - taken);
    }

    bool skipTo(int64_t frame) override
    {
        if (!source_->skipTo(frame))
            return false;
        std::vector<float>().swap(first_);
        used_ = 0;
        return true;
    }

private:
    std::unique_ptr<TrackSource> source_;
    std::vector<float> first_;
    size_t used_ = 0;
};

}  // namespace

bool primeSource(std::unique_ptr<TrackSource>& source)
{
    constexpr size_t kFirstFrames = 4096;
    std::vector<float> first(kFirstFrames * 2);
    first.resize(source->read(first.data(), kFirstFrames) * 2);
    if (first.empty())
        return false;
    source = std::make_unique<PrimedSource>(std::move(source), std::move(first));
    return true;
}

TrackWindow::TrackWindow(std::unique_ptr<TrackSource> source, TrackOpener reopen)
    : source_(std::move(source))
    , reopen_(std::move(reopen))
    , opened_(source_ != nullptr)
    , ring_(static_cast<size_t>(kKeptFrames) * 2, 0.0f)
{
}

void TrackWindow::restart()
{
    std::string ignored;
    source_ = reopen_ ? reopen_(ignored) : nullptr;
    opened_ = true;
    ended_ = source_ == nullptr;
    begin_ = end_ = 0;
}

void TrackWindow::read(int64_t first, size_t count, float* out)
{
    std::fill(out, out + count * 2, 0.0f);
    int64_t from = first;
    const int64_t to = first + static_cast<int64_t>(count);
    if (from < 0)
        from = 0;
    while (from < to) {
        const int64_t piece = std::min(to - from, kPieceFrames);
        readPiece(from, piece, out + (from - first) * 2);
        from += piece;
    }
}

void TrackWindow::readPiece(int64_t first, int64_t count, float* out)
{
    if (!opened_ || first < begin_)
        restart();
    // Far ahead, a source that can move there exactly is moved rather than
    // decoded through: a late start costs what an early one does.
    if (first - end_ > kKeptFrames && !ended_ && source_->skipTo(first))
        begin_ = end_ = first;
    const int64_t last = first + count;
    while (end_ < last && !ended_) {
        // Each step decodes straight into the ring and stops at its end rather than wrap.
        const int64_t slot = end_ % kKeptFrames;
        const auto room = static_cast<size_t>(std::min<int64_t>(kKeptFrames - slot, kDecodeFrames));
        const size_t got = source_->read(ring_.data() + slot * 2, room);
        if (got < room)
            ended_ = true;
        end_ += static_cast<int64_t>(got);
        begin_ = std::max<int64_t>(begin_, end_ - kKeptFrames);
    }
    for (int64_t frame = std::max(first, begin_); frame < std::min(last, end_); ++frame) {
        const float* sample = ring_.data() + (frame % kKeptFrames) * 2;
        out[(frame - first) * 2] = sample[0];
        out[(frame - first) * 2 + 1] = sample[1];
    }
}

bool readWholeTrack(TrackSource& source, DecodedTrack& out)
{
    const auto maxFrames = static_cast<size_t>(kMaxTrackSeconds * out.sampleRate);
    constexpr size_t kChunkFrames = 4096;
    for (;;) {
        const size_t at = out.samples.size();
        out.samples.resize(at + kChunkFrames * 2);
        const size_t got = source.read(out.samples.data() + at, kChunkFrames);
        out.samples.resize(at + got * 2);
        if (out.frames() > maxFrames) {
            out.samples.clear();
            return false;
        }
        if (got < kChunkFrames)
            return true;
    }
}
