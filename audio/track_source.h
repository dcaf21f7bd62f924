// Music decoded as it is needed: a sequential source of interleaved float
// stereo, and a window that answers reads anywhere in the track from it.
//
// The show never holds its whole track. Playback, the spectrum and the video
// capture each read through a TrackWindow of their own, which decodes forward
// from its source and keeps only the latest frames; the samples are exactly
// those a whole-file decode yields, because they come from the same decoder
// run from the start of the file, or moved by it to where a read from the
// start would be (MP3 at its own rate). Use:
//   std::string error;
//   TrackOpener open = mp3Opener("Data/music.mp3", 44100);
//   std::unique_ptr<TrackSource> first = open(error);   // null: error says why
//   TrackWindow window(std::move(first), open);
//   window.read(frame, 2048, buffer);                   // zero outside the track
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TrackSource {
public:
    virtual ~TrackSource() = default;
    // Decodes the next frames into `out` (2 floats per frame). Returns how
    // many it wrote, fewer than asked only at the track's end, 0 after it.
    virtual size_t read(float* out, size_t frames) = 0;
    // Moves the next read to `frame` when the source can give there the very
    // samples a read from the start would; false leaves it where it was.
    virtual bool skipTo(int64_t /*frame*/) { return false; }
};

// Opens a fresh source at the start of the track; null with `error` set when
// the file cannot be read or holds no audio.
using TrackOpener = std::function<std::unique_ptr<TrackSource>(std::string& error)>;

// MPEG audio through libmpg123, gapless, resampled to `sampleRate` and spread to stereo.
TrackOpener mp3Opener(const std::string& path, int sampleRate);
// A tracker module through libopenmpt, rendered once to its end with volume ramping.
TrackOpener moduleOpener(const std::string& path, int sampleRate);

// Decodes the first block of `source` now, so that a file without audio is
// refused when it is opened rather than when it is played. False, with
// `source` left as it is, when it yields nothing; otherwise `source` becomes
// a source that hands out that block first.
bool primeSource(std::unique_ptr<TrackSource>& source);

class TrackWindow {
public:
    // Reads through `source` (opened with `reopen` when null) and reopens it
    // to go back before what it keeps. A source that cannot be reopened reads
    // as an ended track.
    TrackWindow(std::unique_ptr<TrackSource> source, TrackOpener reopen);

    // Frames [first, first + count) into `out`, interleaved stereo; frames
    // before 0 or past the track's end read as zero.
    void read(int64_t first, size_t count, float* out);

    // Frames decoded so far from the current source.
    int64_t decodedFrames() const { return end_; }

private:
    static constexpr int64_t kKeptFrames = 16384;
    static constexpr int64_t kPieceFrames = 8192;  // with one decode step, fits in what is kept
    static constexpr size_t kDecodeFrames = 4096;

    void readPiece(int64_t first, int64_t count, float* out);
    void restart();

    std::unique_ptr<TrackSource> source_;
    TrackOpener reopen_;
    bool opened_ = false;
    bool ended_ = false;
    std::vector<float> ring_;  // frame f lives at (f % kKeptFrames) * 2
    int64_t begin_ = 0, end_ = 0;
};
