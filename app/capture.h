// capture.h: frame-by-frame rendering at exact show times, for capture and benchmarks.
//
// With a FixedStepClock, frame k has show time floor(k * 1000 / fps). These
// observers plug into runShow():
//   CaptureObserver  writes every frame whose show time lies in [from, to) as a
//                    PNG file (frame_NNNNNN.png, numbered by frame index k) in
//                    a folder, or pipes it to ffmpeg for a .mp4/.mkv/.webm video
//                    with the music's matching span; frames before `from` are
//                    fast-forwarded without drawing, the loop stops before `to`.
//   BenchObserver    writes nothing.
// Both move the offline audio back end to each frame's show time first, so the
// spectrum, and with it the beats, are those the real-time show would have.
//
//   OfflineAudioBackend* audio = ...;       // owned by app.audio
//   CaptureObserver capture(options, audio);
//   run.observer = &capture;
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/run_show.h"
#include "app/video_pipe.h"
#include "scene/schedule.h"

class OfflineAudioBackend;

// Frame indices [first, end) of the frames with show time in [fromMs, toMs) at `fps`.
struct FrameSpan {
    uint64_t first = 0, end = 0;
    uint64_t count() const { return end > first ? end - first : 0; }
};
FrameSpan framesBetween(uint32_t fromMs, uint32_t toMs, int fps);

// The file name of frame k: "frame_000042.png".
std::string frameFileName(uint64_t frame);

// Copies `count` sample frames of interleaved stereo starting at `firstFrame`
// (which may lie before or past the track) into `out`, zero outside the track.
void copyAudioSpan(const std::vector<float>& stereo, int64_t firstFrame, size_t count, std::vector<float>& out);

// Reports progress on a stream: a bar redrawn in place on a terminal, else a
// plain line every few seconds.
class ProgressMeter {
public:
    ProgressMeter(std::FILE* stream, bool terminal, uint64_t total);
    // `done` frames of `total`, after `seconds` of work.
    void update(uint64_t done, double seconds);
    // Ends the bar's line.
    void finish(uint64_t done, double seconds);
    static std::string describe(uint64_t done, uint64_t total, double seconds, bool withBar);

private:
    std::FILE* stream_;
    bool terminal_;
    uint64_t total_;
    double lastShown_ = -1.0;
};

class BenchObserver : public FrameObserver {
public:
    explicit BenchObserver(OfflineAudioBackend* audio) : audio_(audio) {}
    bool beforeFrame(DemoApplication& app) override;

private:
    OfflineAudioBackend* audio_;
};

class CaptureObserver : public BenchObserver {
public:
    CaptureObserver(const Options& options, OfflineAudioBackend* audio);
    ~CaptureObserver() override;

    bool begin(DemoApplication& app, std::string& error) override;
    bool beforeFrame(DemoApplication& app) override;
    void frameSkipped(DemoApplication& app) override;
    void frameRendered(DemoApplication& app) override;
    bool finish(DemoApplication& app, std::string& error) override;

    uint64_t framesWritten() const { return written_; }

private:
    bool writeAudioSpan(DemoApplication& app, std::string& error);

    std::string out_;
    bool video_ = false;
    int fps_ = 60;
    uint32_t fromMs_ = 0, toMs_ = kShowLengthMs;
    FrameSpan span_;
    uint64_t frame_ = 0;
    uint64_t written_ = 0;
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> rows_, flipped_;
    VideoPipe pipe_;
    std::string audioPath_;
    std::string failure_;
    std::unique_ptr<ProgressMeter> progress_;
    uint64_t startCounter_ = 0;
};
