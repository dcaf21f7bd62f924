// The read-ahead buffer between the decoder thread and the audio output.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "audio/read_ahead.h"
#include "test_tracks.h"

namespace {

constexpr int64_t kLength = 200000;

// Every frame of `out` is the track's frame, for the first `ready`, and silence after.
void expectFrames(const std::vector<float>& out, int64_t first, size_t ready, const char* what)
{
    for (size_t i = 0; i < out.size() / 2; ++i) {
        const auto frame = first + static_cast<int64_t>(i);
        const bool track = i < ready && frame < kLength;
        ASSERT_EQ(out[2 * i], track ? CountingSource::left(frame) : 0.0f) << what << ", frame " << frame;
        ASSERT_EQ(out[2 * i + 1], track ? CountingSource::right(frame) : 0.0f) << what << ", frame " << frame;
    }
}

}  // namespace

// One ring taken through the output's moves in turn: the copy never decodes,
// finds exactly the frames decoded for it, and silence where none are yet.
TEST(ReadAhead, TheOutputCopiesOnlyWhatWasDecodedAheadForItsPlace)
{
    std::atomic<int> reads {0};
    ReadAhead ahead([&reads](std::string&) { return std::make_unique<CountingSource>(kLength, reads); });
    constexpr int kUntilFull = 100;
    // What happens, where a prepare goes first (-1: none), the decoding steps before the copy, and the
    // copy's first frame, its count and the frames it finds ready.
    for (const auto& [what, prepareAt, steps, first, count, ready] :
        std::vector<std::tuple<const char*, int64_t, int, int64_t, size_t, size_t>> {
            {"nothing decoded yet", -1, 0, 0, 1024, 0},
            {"a step decoded, from where the output went on", -1, 1, 1024, 1024, 1024},
            {"across the step's end", -1, 0, 5000, 200, 120},
            {"decoded until full, nothing unread overwritten", -1, kUntilFull, 5200, 4096, 4096},
            {"a jump beyond the ring", -1, 0, 150000, 1024, 0},
            {"the decoder followed the jump", -1, 1, 151024, 1024, 1024},
            {"a jump back, prepared", 5000, 0, 5000, ReadAhead::kPreparedFrames, ReadAhead::kPreparedFrames},
            {"past the track's end", kLength - 1000, 0, kLength - 1000, 2048, 2048},
        }) {
        if (prepareAt >= 0)
            ahead.prepare(prepareAt);
        int done = 0;
        while (done < steps && ahead.decodeStep())
            ++done;
        if (steps == kUntilFull) {
            EXPECT_LT(done, kUntilFull) << what << ": never full";
        }
        const int readsBefore = reads.load();
        std::vector<float> out(count * 2, -1.0f);
        EXPECT_EQ(ahead.copy(first, count, out.data()), ready) << what;
        EXPECT_EQ(reads.load(), readsBefore) << what << ": the copy decoded";
        expectFrames(out, first, ready, what);
    }
}
