#include "app/capture.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <SDL.h>

#include "app/application.h"
#include "gfx/gl_api.h"
#include "app/png_writer.h"
#include "app/report.h"
#include "audio/audio_backend.h"

namespace {

double secondsSince(uint64_t counter)
{
    return static_cast<double>(SDL_GetPerformanceCounter() - counter) / static_cast<double>(SDL_GetPerformanceFrequency());
}

std::string clockText(double seconds)
{
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

bool writeFloats(const std::string& path, const std::vector<float>& samples)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const size_t n = std::fwrite(samples.data(), sizeof(float), samples.size(), f);
    const bool ok = std::fclose(f) == 0 && n == samples.size();
    return ok;
}

} // namespace

FrameSpan framesBetween(uint32_t fromMs, uint32_t toMs, int fps)
{
    // floor(k * 1000 / fps) >= ms exactly when k >= ms * fps / 1000.
    auto firstAtOrAfter = [fps](uint32_t ms) {
        return (static_cast<uint64_t>(ms) * static_cast<uint64_t>(fps) + 999) / 1000;
    };
    return {firstAtOrAfter(fromMs), firstAtOrAfter(toMs)};
}

std::string frameFileName(uint64_t frame)
{
    char name[40];
    std::snprintf(name, sizeof name, "frame_%06" PRIu64 ".png", frame);
    return name;
}

void copyAudioSpan(const std::vector<float>& stereo, int64_t firstFrame, size_t count, std::vector<float>& out)
{
    out.assign(count * 2, 0.0f);
    const auto available = static_cast<int64_t>(stereo.size() / 2);
    for (size_t i = 0; i < count; ++i) {
        const int64_t source = firstFrame + static_cast<int64_t>(i);
        if (source < 0 || source >= available)
            continue;
        out[i * 2] = stereo[static_cast<size_t>(source) * 2];
        out[i * 2 + 1] = stereo[static_cast<size_t>(source) * 2 + 1];
    }
}

ProgressMeter::ProgressMeter(std::FILE* stream, bool terminal, uint64_t total)
    : stream_(stream), terminal_(terminal), total_(total)
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
        std::snprintf(text, sizeof text, "[%s] %3d%%  %6.1f fps  %s left", bar.c_str(), static_cast<int>(fraction * 100),
                      fps, clockText(left).c_str());
    } else {
        std::snprintf(text, sizeof text, "brindle: %" PRIu64 "/%" PRIu64 " frames (%d%%), %.1f fps, %s left", done, total,
                      static_cast<int>(fraction * 100), fps, clockText(left).c_str());
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
    if (audio_)
        audio_->setPositionMs(static_cast<double>(app.showTimeMs));
    return true;
}

CaptureObserver::CaptureObserver(const Options& options, OfflineAudioBackend* audio)
    : BenchObserver(audio),
      out_(options.captureOut),
      video_(isVideoPath(options.captureOut)),
      fps_(options.framesPerSecond()),
      fromMs_(options.fromMs),
      toMs_(options.toMs),
      span_(framesBetween(options.fromMs, options.toMs, options.framesPerSecond()))
{
}

CaptureObserver::~CaptureObserver()
{
    std::string ignored;
    pipe_.close(ignored);
    if (!audioPath_.empty())
        std::remove(audioPath_.c_str());
}

bool CaptureObserver::writeAudioSpan(DemoApplication& app, std::string& error)
{
    const DecodedTrack* track = app.audio ? app.audio->track(app.music.channel()) : nullptr;
    if (!app.musicEnabled || !track || track->channels != 2)
        return true;
    const auto rate = static_cast<uint64_t>(track->sampleRate);
    const auto first = static_cast<int64_t>(span_.first * rate / static_cast<uint64_t>(fps_));
    const auto count = static_cast<size_t>(span_.count() * rate / static_cast<uint64_t>(fps_));
    std::vector<float> samples;
    copyAudioSpan(track->samples, first, count, samples);

    char path[] = "/tmp/brindle-audio-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        error = "cannot create a temporary file for the music in /tmp";
        return false;
    }
    ::close(fd);
    audioPath_ = path;
    if (!writeFloats(audioPath_, samples)) {
        error = "cannot write the music for the video into " + audioPath_;
        return false;
    }
    return true;
}

bool CaptureObserver::begin(DemoApplication& app, std::string& error)
{
    width_ = app.width;
    height_ = app.height;
    if (video_ && (width_ % 2 || height_ % 2)) {
        width_ &= ~1;
        height_ &= ~1;
        report("video sizes must be even; capturing " + std::to_string(width_) + "x" + std::to_string(height_)
               + " of the " + std::to_string(app.width) + "x" + std::to_string(app.height) + " picture");
    }
    if (width_ <= 0 || height_ <= 0) {
        error = "the picture is too small to capture";
        return false;
    }
    rows_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    flipped_.resize(rows_.size());

    if (video_) {
        if (!writeAudioSpan(app, error))
            return false;
        VideoSettings settings;
        settings.path = out_;
        settings.width = width_;
        settings.height = height_;
        settings.framesPerSecond = fps_;
        settings.audioPath = audioPath_;
        if (const DecodedTrack* track = app.audio ? app.audio->track(app.music.channel()) : nullptr)
            settings.audioSampleRate = track->sampleRate;
        if (!pipe_.open(settings, error))
            return false;
    } else {
        std::error_code failed;
        const std::filesystem::path folder(out_);
        if (!std::filesystem::is_directory(folder, failed)) {
            if (std::filesystem::exists(folder, failed) || folder.has_extension()) {
                error = "cannot capture into " + out_ + ": give a folder, or a file ending .mp4, .mkv or .webm";
                return false;
            }
            if (!std::filesystem::create_directories(folder, failed)) {
                error = "cannot create the folder " + out_ + " (" + failed.message() + ")";
                return false;
            }
        }
    }
    progress_ = std::make_unique<ProgressMeter>(stderr, isatty(STDERR_FILENO) != 0, span_.end);
    startCounter_ = SDL_GetPerformanceCounter();
    return true;
}

bool CaptureObserver::beforeFrame(DemoApplication& app)
{
    if (!failure_.empty() || app.showTimeMs >= toMs_)
        return false;
    return BenchObserver::beforeFrame(app);
}

void CaptureObserver::frameSkipped(DemoApplication&)
{
    // Skipped frames keep their numbers: a file's name is its frame index.
    ++frame_;
    progress_->update(frame_, secondsSince(startCounter_));
}

void CaptureObserver::frameRendered(DemoApplication& app)
{
    const uint64_t frame = frame_++;
    progress_->update(frame_, secondsSince(startCounter_));
    if (app.showTimeMs < fromMs_)
        return;
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows_.data());
    // GL rows run bottom-up; files and ffmpeg want the top row first.
    const size_t stride = static_cast<size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y)
        std::copy_n(rows_.data() + static_cast<size_t>(height_ - 1 - y) * stride, stride, flipped_.data() + static_cast<size_t>(y) * stride);

    if (video_) {
        if (!pipe_.writeFrame(flipped_.data())) {
            std::string why;
            pipe_.close(why);
            failure_ = why.empty() ? "ffmpeg stopped taking frames" : why;
            return;
        }
    } else {
        const std::string path = (std::filesystem::path(out_) / frameFileName(frame)).string();
        if (!writePng(path, width_, height_, flipped_.data(), failure_))
            return;
    }
    ++written_;
}

bool CaptureObserver::finish(DemoApplication&, std::string& error)
{
    if (progress_)
        progress_->finish(frame_, secondsSince(startCounter_));
    std::string closing;
    const bool closed = pipe_.close(closing);
    if (!audioPath_.empty()) {
        std::remove(audioPath_.c_str());
        audioPath_.clear();
    }
    if (!failure_.empty()) {
        error = failure_;
        return false;
    }
    if (!closed) {
        error = closing;
        return false;
    }
    return true;
}
