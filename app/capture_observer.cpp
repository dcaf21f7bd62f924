// The capture and bench observers: frames read back and written as PNG files or
// a video, the music's span for the video, and the progress line.
#include "app/capture_observer.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include <SDL.h>

#include "app/application.h"
#include "audio/audio_backend.h"
#include "capture/output_file.h"
#include "capture/png_writer.h"
#include "desktop/report.h"

namespace {

// More encoders than this would only hold more frames in memory.
constexpr unsigned kMaxEncoders = 4;

double secondsSince(uint64_t counter)
{
    return static_cast<double>(SDL_GetPerformanceCounter() - counter)
        / static_cast<double>(SDL_GetPerformanceFrequency());
}

std::string clockText(double seconds)
{
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

// The music from `first` for `count` frames, written as raw float stereo in
// blocks, so the track is never held whole. False with errno set when a write failed.
bool writeAudio(int fd, TrackWindow& track, int64_t first, size_t count)
{
    constexpr size_t kBlockFrames = 8192;
    std::vector<float> block(kBlockFrames * 2);
    for (size_t done = 0; done < count; done += kBlockFrames) {
        const size_t frames = std::min(kBlockFrames, count - done);
        track.read(first + static_cast<int64_t>(done), frames, block.data());
        if (!writeAll(fd, block.data(), frames * sizeof(float) * 2))
            return false;
    }
    return lseek(fd, 0, SEEK_SET) == 0;
}

// Both observers keep the offline back end at the frame's show time (the
// header says why).
void followShowTime(OfflineAudioBackend* audio, const DemoApplication& app)
{
    if (audio)
        audio->setPositionMs(static_cast<double>(app.showTimeMs));
}

}  // namespace

std::string frameFileName(uint64_t frame)
{
    char name[40];
    std::snprintf(name, sizeof name, "frame_%06" PRIu64 ".png", frame);
    return name;
}

ProgressMeter::ProgressMeter(std::FILE* stream, bool terminal, uint64_t total)
    : stream_(stream)
    , terminal_(terminal)
    , total_(total)
{
}

std::string ProgressMeter::describe(uint64_t done, uint64_t total, double seconds, bool withBar)
{
    const double fraction = total ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const double left = fps > 0 ? static_cast<double>(total - std::min(done, total)) / fps : 0.0;
    char text[160];
    if (withBar) {
        constexpr int width = 30;
        const int filled = static_cast<int>(fraction * width);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(width - filled), '-');
        std::snprintf(text, sizeof text, "[%s] %3d%%  %6.1f fps  %s left", bar.c_str(),
            static_cast<int>(fraction * 100), fps, clockText(left).c_str());
    } else {
        std::snprintf(text, sizeof text, "brindle: %" PRIu64 "/%" PRIu64 " frames (%d%%), %.1f fps, %s left", done,
            total, static_cast<int>(fraction * 100), fps, clockText(left).c_str());
    }
    return text;
}

void ProgressMeter::update(uint64_t done, double seconds)
{
    // A terminal gets about ten redraws a second, a log a line every five seconds.
    const double interval = terminal_ ? 0.1 : 5.0;
    if (lastShown_ >= 0 && seconds - lastShown_ < interval)
        return;
    lastShown_ = seconds;
    if (terminal_)
        std::fprintf(stream_, "\r%s\x1b[K", describe(done, total_, seconds, true).c_str());
    else
        std::fprintf(stream_, "%s\n", describe(done, total_, seconds, false).c_str());
    std::fflush(stream_);
}

void ProgressMeter::finish(uint64_t done, double seconds)
{
    if (terminal_)
        std::fprintf(stream_, "\r%s\x1b[K\n", describe(done, total_, seconds, true).c_str());
    else
        std::fprintf(stream_, "%s\n", describe(done, total_, seconds, false).c_str());
    std::fflush(stream_);
}

bool BenchObserver::beforeFrame(DemoApplication& app)
{
    // A span ends before `to`; the whole show's bench also times the closing
    // frame, as it always has.
    if (toMs_ < kShowLengthMs && app.showTimeMs >= toMs_)
        return false;
    followShowTime(audio_, app);
    return true;
}

CaptureObserver::CaptureObserver(const Options& options, OfflineAudioBackend* audio)
    : out_(options.captureOut)
    , video_(isVideoPath(options.captureOut))
    , lossless_(options.lossless)
    , fps_(options.framesPerSecond())
    , fromMs_(options.fromMs)
    , toMs_(options.toMs)
    , audio_(audio)
    , span_(framesBetween(options.fromMs, options.toMs, options.framesPerSecond()))
{
}

CaptureObserver::~CaptureObserver()
{
    // The writer may still be feeding the pipe.
    writer_.reset();
    if (audioFd_ >= 0)
        ::close(audioFd_);
}

bool CaptureObserver::writeAudioSpan(DemoApplication& app, std::string& error)
{
    const std::unique_ptr<TrackWindow> track = app.audio ? app.audio->openTrack(app.music.channel()) : nullptr;
    if (!app.musicEnabled || !track)
        return true;
    const auto rate = static_cast<uint64_t>(app.audio->sampleRate());
    const auto first = static_cast<int64_t>(span_.first * rate / static_cast<uint64_t>(fps_));
    const auto count = static_cast<size_t>(span_.count() * rate / static_cast<uint64_t>(fps_));

    const int scratch = openUnnamedScratch(error);
    if (scratch < 0)
        return false;
    // Above the descriptors ffmpeg gets as 0 to 3, so handing it over as fd 3 cannot collide.
    audioFd_ = fcntl(scratch, F_DUPFD_CLOEXEC, 10);
    ::close(scratch);
    if (audioFd_ < 0 || !writeAudio(audioFd_, *track, first, count)) {
        error = std::string("cannot write the music for the video into TMPDIR (") + std::strerror(errno)
            + "); set TMPDIR to a folder with room";
        return false;
    }
    return true;
}

bool CaptureObserver::begin(DemoApplication& app, std::string& error)
{
    width_ = app.width;
    height_ = app.height;
    // 4:2:0 pictures need even sides; RGB ones take any.
    if (video_ && !lossless_ && (width_ % 2 || height_ % 2)) {
        width_ &= ~1;
        height_ &= ~1;
        report("video sizes must be even; capturing " + std::to_string(width_) + "x" + std::to_string(height_)
            + " of the " + std::to_string(app.width) + "x" + std::to_string(app.height) + " picture");
    }
    if (width_ <= 0 || height_ <= 0) {
        error = "the picture is too small to capture";
        return false;
    }

    if (video_) {
        if (!writeAudioSpan(app, error))
            return false;
        VideoSettings settings;
        settings.path = out_;
        settings.width = width_;
        settings.height = height_;
        settings.framesPerSecond = fps_;
        settings.audioFd = audioFd_;
        settings.lossless = lossless_;
        if (app.audio)
            settings.audioSampleRate = app.audio->sampleRate();
        if (!pipe_.open(settings, error))
            return false;
    } else {
        // Any name without a video ending is a folder, a dot in it ("take.2") or not.
        std::error_code failed;
        const std::filesystem::path folder(out_);
        if (!std::filesystem::is_directory(folder, failed)) {
            if (std::filesystem::exists(folder, failed)) {
                error = "cannot capture into " + quotedName(out_) + ": give a folder, or a file ending .mp4, .mkv or .webm";
                return false;
            }
            if (!std::filesystem::create_directories(folder, failed)) {
                error = "cannot create the folder " + quotedName(out_) + " (" + failed.message() + ")";
                return false;
            }
        }
    }
    const size_t frameBytes = static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3;
    const auto store = [this](uint64_t frame, const uint8_t* bytes, size_t size, std::string& why) {
        return storeFrame(frame, bytes, size, why);
    };
    if (video_) {
        // ffmpeg encodes; one thread feeding it is enough.
        writer_ = std::make_unique<FrameWriter>(frameBytes, 1, nullptr, store);
    } else {
        // As many encoders as cores: a frame's PNG costs a good part of its drawing.
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const int width = width_, height = height_;
        writer_ = std::make_unique<FrameWriter>(frameBytes, std::min(cores, kMaxEncoders),
            [width, height](uint64_t, const uint8_t* rgb, std::vector<uint8_t>& png, std::string& why) {
                return encodePng(width, height, rgb, png, why);
            },
            store);
    }
    reader_ = std::make_unique<FrameReader>(width_, height_);
    progress_ = std::make_unique<ProgressMeter>(stderr, isatty(STDERR_FILENO) != 0, span_.count());
    startCounter_ = SDL_GetPerformanceCounter();
    return true;
}

bool CaptureObserver::storeFrame(uint64_t frame, const uint8_t* bytes, size_t size, std::string& error)
{
    if (video_) {
        if (pipe_.writeFrame(bytes))
            return true;
        pipe_.close(error);
        if (error.empty())
            error = "ffmpeg stopped taking frames";
        return false;
    }
    const std::string path = (std::filesystem::path(out_) / frameFileName(frame)).string();
    return writeWhole(path, bytes, size, error);
}

void CaptureObserver::hand(uint64_t frame, const uint8_t* bottomUp)
{
    // GL rows run bottom-up; files and ffmpeg want the top row first.
    std::vector<uint8_t>& topDown = writer_->acquire();
    const size_t stride = static_cast<size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y)
        std::copy_n(bottomUp + static_cast<size_t>(height_ - 1 - y) * stride, stride,
            topDown.data() + static_cast<size_t>(y) * stride);
    writer_->submit(frame);
}

bool CaptureObserver::beforeFrame(DemoApplication& app)
{
    if ((writer_ && writer_->failed()) || app.showTimeMs >= toMs_)
        return false;
    followShowTime(audio_, app);
    return true;
}

void CaptureObserver::frameSkipped(DemoApplication&)
{
    // Skipped frames keep their numbers: a file's name is its frame index.
    ++frame_;
}

void CaptureObserver::frameRendered(DemoApplication& app)
{
    const uint64_t frame = frame_++;
    if (app.showTimeMs < fromMs_)
        return;
    reader_->read(frame, [this](uint64_t read, const uint8_t* rows) { hand(read, rows); });
    progress_->update(++captured_, secondsSince(startCounter_));
}

bool CaptureObserver::finish(DemoApplication&, std::string& error)
{
    if (reader_)
        reader_->flush([this](uint64_t read, const uint8_t* rows) { hand(read, rows); });
    reader_.reset();
    std::string failure;
    const bool written = !writer_ || writer_->finish(failure);
    if (progress_)
        progress_->finish(captured_, secondsSince(startCounter_));
    std::string closing;
    const bool closed = pipe_.close(closing);
    if (!written) {
        error = failure;
        return false;
    }
    if (!closed) {
        error = closing;
        return false;
    }
    if (quitSignalled())
        report("capture stopped at frame " + std::to_string(framesWritten()) + " of " + std::to_string(span_.count()));
    return true;
}
