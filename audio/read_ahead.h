// A channel's music decoded ahead of its playback, so that the output's
// callback only copies: it never waits on the decoder, and whoever waits on
// the output's lock (a position read) never waits on a decode either.
//
// The decoding side (a thread of the back end, or the main thread before a
// jump) fills a ring of frames ahead of the frame the output reads next; the
// output side copies what is there and reads frames not decoded yet as
// silence. Frames are numbered from the track's start, so a read that comes
// before the ring has moved to a new place finds nothing rather than the old
// place's music. Use:
//   ReadAhead ahead(mp3Opener(path, 44100));
//   decoding thread:  while (ahead.decodeStep()) { }   // until it is far enough ahead
//   output callback:  ahead.copy(frame, count, out);
//   main thread:      ahead.prepare(frame);            // a jump: its first frames now
// decodeStep() and prepare() are called by one thread at a time (the owner
// serialises them); copy() may run beside either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/track_source.h"

class ReadAhead {
public:
    // How far the decoding side runs ahead of the output, and what a prepare decodes at once.
    static constexpr int64_t kRingFrames = 65536;
    static constexpr int64_t kStepFrames = 4096;
    static constexpr int64_t kPreparedFrames = 8192;

    explicit ReadAhead(TrackOpener reopen);

    // Frames [first, first + count) into `out`, interleaved stereo, as far
    // as they are decoded; the others are zero. Returns how many were
    // decoded. The decoding side goes on from the frame after these.
    size_t copy(int64_t first, size_t count, float* out);

    // Decodes one step further ahead of where the output reads. False when
    // it is far enough ahead already.
    bool decodeStep();

    // The output reads at `frame` next: moves there and decodes at least
    // `frames` (and kPreparedFrames) from there now.
    void prepare(int64_t frame, int64_t frames = kPreparedFrames);

private:
    void followOutput();  // with mutex_ held

    TrackWindow window_;         // the decoding side's
    std::vector<float> decoded_;  // one step, the decoding side's

    std::mutex mutex_;  // over the ring and the frames below, held only to copy
    std::vector<float> ring_;  // frame f lives at (f % kRingFrames) * 2
    int64_t begin_ = 0, end_ = 0;  // frames held
    int64_t next_ = 0;             // the frame the output reads next
};
