// brindle: start-up, the show's frame loop, shutdown.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

#include <SDL.h>

#include "app/application.h"
#include "app/capture_observer.h"
#include "app/configurator.h"
#include "app/data_dir.h"
#include "app/frame_clock.h"
#include "app/launch_dialog.h"
#include "app/options.h"
#include "app/playback_clock.h"
#include "app/run_show.h"
#include "audio/music_player.h"
#include "audio/playback_stats.h"
#include "capture/frame_log.h"
#include "capture/stats.h"
#include "desktop/display_loss.h"
#include "desktop/report.h"
#include "gfx/pass_timer.h"
#include "scene/schedule.h"
#include "scene/show_state.h"
#include "show/frame_driver.h"
#include "show/frame_values.h"

namespace {

// The show as the frame loop sees it.
class RealShow : public ShowProgram {
public:
    // With `timePasses`, each pass's GPU time is measured where the driver allows.
    explicit RealShow(bool timePasses)
        : timePasses_(timePasses)
    {
    }

    std::unique_ptr<DemoConfigurator> makeConfigurator(DemoApplication& app) override
    {
        return std::make_unique<QuillonConfigurator>(app);
    }
    LaunchResult runDialog(DemoApplication& app) override
    {
        return runLaunchDialog(app, app.displayModes, app.maxSamples);
    }
    bool prepare(MusicPlayer& music, std::string& error) override
    {
        scene_ = buildShowState();
        if (!scene_) {
            error = "cannot build the show";
            return false;
        }
        show_ = std::make_unique<ShowFrameState>(*scene_, music);
#ifndef NDEBUG
        show_->glErrors = [this](const PassGlError& e) { reportGlError(e); };
#endif
        return true;
    }
    bool build(DemoApplication& app, std::string& error) override
    {
        if (!resolveShowAssets(app.programs, app.textures, show_->assets, error))
            return false;
        if (timePasses_ && !passTimer_ && hasTimerQueries())
            passTimer_ = std::make_unique<PassTimer>(static_cast<int>(passNames().size()));
        show_->passTimer = passTimer_.get();
        return true;
    }
    void startMusic(DemoApplication& app) override
    {
        ::startMusic(*app.audio, app.music, app.musicEnabled);
        app.musicPlaying = true;
    }
    bool frameNeedsAssets(const DemoApplication& app) const override
    {
        return !show_ || !fadesCover(show_->fades, app.showTimeMs);
    }
    void renderFrame(DemoApplication& app) override
    {
        if (fadesCover(show_->fades, app.showTimeMs))
            renderCoveredFrame(*show_, app.showTimeMs, app.frameStep, app.audio.get(), app.width, app.height);
        else
            ::renderFrame(*show_, app.showTimeMs, app.frameStep, app.audio.get());
        lastFrameMs_ = app.showTimeMs;
        playback_.noteFrame(app.showTimeMs, show_->beats);
    }
    void advanceFrame(const FrameTime& time, const float* spectrum) override
    {
        ::advanceFrame(*show_, spectrum, time.showTimeMs, time.frameStep);
    }
    uint32_t beatReachMs(uint32_t frameMs) const override { return ::beatReachMs(*show_, frameMs); }
    bool rebuild(DemoApplication& app, std::string& error) override
    {
        releaseScene();
        return prepare(app.music, error) && build(app, error);
    }
    bool frameFlashed() const override
    {
        return show_ && anyBandBeat(show_->beats) && beatCanFlash(lastFrameMs_);
    }
    // Frames whose beat flag was raised inside the beat window.
    int beatFrames() const { return playback_.beats(); }
    // Each pass's mean GPU time; empty when it was not measured.
    const FrameStats::NamedMs& passesMs() const { return passesMs_; }
    void destroy(DemoApplication&) override
    {
        releaseScene();
        if (passTimer_) {
            const std::vector<double> means = passTimer_->meanMs();
            for (size_t i = 0; i < passNames().size(); ++i)
                passesMs_.emplace_back(passNames()[i], means[i]);
        }
        passTimer_.reset();
    }

private:
    // Once for each error and pass: a pass that fails fails every frame.
    void reportGlError(const PassGlError& e)
    {
        const std::string where = e.pass ? std::string("in the ") + e.pass + " pass" : "before the first pass";
        const std::string line = "warning: GL error " + e.error + " " + where;
        if (reportedGlErrors_.insert(line).second)
            report(line);
    }

    void releaseScene()
    {
        show_.reset();
        if (scene_)
            destroyShowState(*scene_);
        scene_.reset();
    }

    bool timePasses_;
    std::unique_ptr<PassTimer> passTimer_;
    FrameStats::NamedMs passesMs_;
    std::unique_ptr<ShowState> scene_;
    std::unique_ptr<ShowFrameState> show_;
    PlaybackStats playback_ {kBeatWindow.startMs, kBeatWindow.endMs};
    uint32_t lastFrameMs_ = 0;
    std::set<std::string> reportedGlErrors_;
};

std::string defaultDataDir()
{
    char* base = SDL_GetBasePath();
    std::string dir = findDataDir(base ? base : "");
    SDL_free(base);
    return dir;
}

// Returns -1 to go on, or the exit status when the command line is all there is to do.
int readCommandLine(int argc, char** argv, Options& options)
{
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        report(error);
        std::fputs(usageText().c_str(), stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("brindle %s\n", BRINDLE_VERSION);
        return 0;
    }
    return -1;
}

int playShow(const Options& options, uint64_t startTicks, FrameStats& stats, FrameLog* frameLog)
{
    // Declared before the record, whose audio back end reports through it.
    HeldReports audioWarnings;
    DemoApplication app;
    app.dataDir = options.dataDir.empty() ? defaultDataDir() : options.dataDir;
    app.musicPath = options.musicPath.empty() ? app.dataDir + "/music.mp3" : options.musicPath;

    // Real time follows the music where it is heard; capture and benchmarks
    // step a fixed frame rate with the music positioned per frame.
    std::unique_ptr<FrameClock> clock;
    std::unique_ptr<FrameObserver> observer;
    if (options.fixedStep()) {
        std::unique_ptr<OfflineAudioBackend> offline = makeOfflineAudioBackend();
        OfflineAudioBackend* audio = offline.get();
        app.audio = std::move(offline);
        clock = std::make_unique<FixedStepClock>(options.framesPerSecond());
        if (options.bench)
            observer = std::make_unique<BenchObserver>(options, audio);
        else
            observer = std::make_unique<CaptureObserver>(options, audio);
    } else {
        // A millisecond ticker would drift from the sound output over a whole
        // show (the output's rate is its own), so real time follows what is heard.
        app.audio = makeLiveAudioBackend([&audioWarnings](const std::string& text) { audioWarnings(text); });
        auto playback = std::make_unique<PlaybackClock>(*app.audio, app.music);
        playback->setAudioOffsetMs(options.audioOffsetMs);
        clock = std::move(playback);
    }

    RealShow show(options.stats || options.bench);
    RunSettings run;
    run.options = options;
    run.clock = clock.get();
    run.observer = observer.get();
    run.stats = &stats;
    run.frameLog = frameLog;
    run.heldReports = &audioWarnings;
    run.startTicks = startTicks;
    const int status = runShow(app, show, run);
    stats.setBeats(show.beatFrames());
    stats.setPassesMs(show.passesMs());
    return status;
}

// The images are decoded on a start-up worker and freed on the main thread
// once uploaded. glibc raises its mmap threshold after the first large block
// is freed, so those buffers would come from the worker's arena instead and
// stay resident there (about 8 MB) for the whole show. A fixed threshold keeps
// every block of 128 KiB or more in a mapping of its own, returned when freed.
void keepLargeBlocksReturnable()
{
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

}  // namespace

int main(int argc, char** argv)
{
    const uint64_t startTicks = SDL_GetPerformanceCounter();
    keepLargeBlocksReturnable();
    installQuitSignals();
    installDisplayLossHandler();
    const bool stdoutOpen = fcntl(STDOUT_FILENO, F_GETFD) != -1;
    Options options;
    if (const int status = readCommandLine(argc, argv, options); status >= 0)
        return status;
    if ((options.stats || options.bench) && !stdoutOpen) {
        report("cannot print the statistics: stdout is closed; give it a file or a pipe");
        return kExitStartFailed;
    }
    // Capture and benchmarks may fall back on rendering off screen; the show may not.
    if (!options.fixedStep())
        preferNamedVideoDriver();

    // The log is made before anything is shown, so an unwritable name costs no start-up.
    FrameLog frameLog;
    if (!options.frameLog.empty()) {
        std::string error;
        if (!frameLog.open(options.frameLog, error)) {
            report(error);
            return kExitStartFailed;
        }
    }
    FrameStats stats;
    const int status = playShow(options, startTicks, stats, frameLog.isOpen() ? &frameLog : nullptr);

    // Puts back any display mode still switched, whatever way the show ended.
    SDL_Quit();
    if (status == 0 && (options.stats || options.bench)) {
        // A full disk or a reader gone must not pass for statistics delivered.
        const bool printed = std::printf("%s\n", stats.toJson().c_str()) > 0 && std::fflush(stdout) == 0;
        if (!printed) {
            report(std::string("cannot print the statistics on stdout (") + std::strerror(errno) + ")");
            return kExitStartFailed;
        }
    }
    return status;
}
