// capture_observer.h: frame-by-frame rendering at exact show times, for capture and benchmarks.
//
// With a FixedStepClock, frame k has show time floor(k * 1000 / fps). These
// observers plug into runShow():
//   CaptureObserver  writes every frame whose show time lies in [from, to) as a
//                    PNG file (frame_NNNNNN.png, numbered by frame index k) in
//                    a folder, or pipes it to ffmpeg for a .mp4/.mkv/.webm video
//                    with the music's matching span; frames before `from` are
//                    fast-forwarded without drawing, the loop stops before `to`.
//   BenchObserver    writes nothing; it too skips the frames before `from`
//                    and stops before a `to` short of the show's end (the
//                    whole show's bench times its closing frame too).
// A capture reads frame k back while frame k + 1 is drawn (gfx/frame_reader.h)
// and encodes PNG files on worker threads (capture/frame_writer.h), writing them in
// frame order. Both move the offline audio back end to each frame's show time
// first, so the spectrum, and with it the beats, are those the real-time show
// would have.
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

#include "app/frame_clock.h"
#include "app/options.h"
#include "app/run_show.h"
#include "capture/frame_writer.h"
#include "capture/video_pipe.h"
#include "gfx/frame_reader.h"
#include "scene/schedule.h"

class OfflineAudioBackend;

// The file name of frame k: "frame_000042.png".
std::string frameFileName(uint64_t frame);

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
    BenchObserver(const Options& options, OfflineAudioBackend* audio)
        : toMs_(options.toMs)
        , audio_(audio)
    {
    }
    bool beforeFrame(DemoApplication& app) override;

private:
    uint32_t toMs_;
    OfflineAudioBackend* audio_;
};

class CaptureObserver : public FrameObserver {
public:
    CaptureObserver(const Options& options, OfflineAudioBackend* audio);
    ~CaptureObserver() override;

    bool begin(DemoApplication& app, std::string& error) override;
    bool beforeFrame(DemoApplication& app) override;
    void frameSkipped(DemoApplication& app) override;
    void frameRendered(DemoApplication& app) override;
    bool finish(DemoApplication& app, std::string& error) override;

    uint64_t framesWritten() const { return writer_ ? writer_->written() : 0; }

private:
    bool writeAudioSpan(DemoApplication& app, std::string& error);
    bool storeFrame(uint64_t frame, const uint8_t* bytes, size_t size, std::string& error);
    // Copies a bottom-up GL picture into the writer, top row first, and queues it.
    void hand(uint64_t frame, const uint8_t* bottomUp);

    std::string out_;
    bool video_ = false;
    bool lossless_ = false;
    int fps_ = 60;
    uint32_t fromMs_ = 0;
    uint32_t toMs_ = 0;
    OfflineAudioBackend* audio_ = nullptr;
    FrameSpan span_;
    uint64_t frame_ = 0;     // the next frame's index, skipped ones included
    uint64_t captured_ = 0;  // frames of the span read back so far
    int width_ = 0, height_ = 0;
    std::unique_ptr<FrameReader> reader_;
    std::unique_ptr<FrameWriter> writer_;
    VideoPipe pipe_;
    int audioFd_ = -1;  // the music's span, in an unnamed scratch file for ffmpeg
    std::unique_ptr<ProgressMeter> progress_;
    uint64_t startCounter_ = 0;
};
