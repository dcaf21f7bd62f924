// Starts ffmpeg with the video's settings and feeds it raw frames through a
// pipe.
#include "capture/video_pipe.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture/output_file.h"
#include "desktop/report.h"

extern char** environ;

namespace {

std::string lowerExtension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot);
    std::transform(
        ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[1024];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

// The last non-empty line of ffmpeg's messages.
std::string lastLine(const std::string& text)
{
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return "";
    const size_t start = text.find_last_of('\n', end);
    return text.substr(
        start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace

bool isVideoPath(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    return ext == ".mp4" || ext == ".mkv" || ext == ".webm";
}

bool canHoldLossless(const std::string& path)
{
    return lowerExtension(path) == ".mkv";
}

std::vector<std::string> ffmpegArguments(const VideoSettings& s, const std::string& file)
{
    const bool audio = s.audioFd >= 0;
    const bool webm = lowerExtension(s.path) == ".webm";
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt",
        "rgb24", "-s", std::to_string(s.width) + "x" + std::to_string(s.height), "-framerate",
        std::to_string(s.framesPerSecond), "-i", "pipe:0"};
    if (audio)
        args.insert(args.end(), {"-f", "f32le", "-ar", std::to_string(s.audioSampleRate), "-ac", "2", "-i", "pipe:3"});
    args.insert(args.end(), {"-map", "0:v"});
    if (audio)
        args.insert(args.end(), {"-map", "1:a"});
    if (s.lossless) {
        // FFV1 codes every frame alone (-g 1), so a master cut or joined at
        // any frame needs no re-encoding; in RGB it keeps the rendered pixels
        // as they are, where any YUV would round them. 8-bit RGB is stored
        // alike from any RGB input and decodes as bgr0, so that is what it is
        // given. Slices let its threads share a frame and carry checksums.
        args.insert(args.end(),
            {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slices", "4", "-slicecrc", "1", "-pix_fmt", "bgr0",
                "-color_primaries", "bt709", "-color_trc", "iec61966-2-1", "-colorspace", "rgb", "-color_range",
                "pc"});
        if (audio)
            args.insert(args.end(), {"-c:a", "pcm_f32le"});
    } else {
        if (webm)
            args.insert(args.end(),
                {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1", "-deadline", "good", "-cpu-used",
                    "4"});
        else
            args.insert(args.end(), {"-c:v", "libx264", "-preset", "medium", "-crf", "18"});
        // ffmpeg would convert with the BT.601 matrix and tag nothing.
        args.insert(args.end(),
            {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-color_primaries", "bt709",
                "-color_trc", "bt709", "-colorspace", "bt709", "-color_range", "tv"});
        if (audio) {
            if (webm)
                args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
            else
                args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
        }
    }
    if (audio)
        args.push_back("-shortest");
    // "file:" keeps a name that starts with '-' or holds a ':' a plain file to ffmpeg.
    args.push_back("file:" + file);
    return args;
}

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

VideoPipe::~VideoPipe()
{
    std::string ignored;
    endEncoder(ignored);
    if (!partial_.empty())
        discard(partial_);
}

bool VideoPipe::open(const VideoSettings& settings, std::string& error)
{
    settings_ = settings;
    const std::string program = findOnPath("ffmpeg");
    if (program.empty()) {
        error = "ffmpeg is needed to write " + quotedName(settings.path)
            + " but was not found; install it (apt-get install ffmpeg) or capture PNG frames into a folder";
        return false;
    }
    const int partial = createBeside(settings.path, lowerExtension(settings.path), partial_, error);
    if (partial < 0)
        return false;
    ::close(partial);
    const auto fail = [this, &error](const std::string& why) {
        discard(partial_);
        partial_.clear();
        error = why;
        return false;
    };
    int input[2], messages[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return fail("cannot start ffmpeg: no pipe");
    if (pipe2(messages, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return fail("cannot start ffmpeg: no pipe");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, messages[1], 2);
    if (settings.audioFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, settings.audioFd, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group keeps the terminal's Ctrl-C away from ffmpeg; the
    // default signal mask and dispositions undo what brindle changed for itself.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const std::vector<std::string> args = ffmpegArguments(settings, partial_);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(messages[1]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(input[1]);
        ::close(messages[0]);
        return fail("cannot start " + quotedName(program) + " (" + std::strerror(spawned) + ")");
    }
    input_ = input[1];
    messages_ = messages[0];
    broken_ = false;
    // A finished ffmpeg must show up as a failed write, not a fatal SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool VideoPipe::writeFrame(const uint8_t* rgb)
{
    if (input_ < 0 || broken_)
        return false;
    if (!writeAll(input_, rgb, static_cast<size_t>(settings_.width) * static_cast<size_t>(settings_.height) * 3))
        broken_ = true;
    return !broken_;
}

bool VideoPipe::endEncoder(std::string& why)
{
    if (pid_ <= 0)
        return false;
    ::close(input_);
    input_ = -1;
    const std::string messages = readAll(messages_);
    ::close(messages_);
    messages_ = -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) { }
    pid_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !broken_)
        return true;
    why = lastLine(messages);
    if (why.empty() && WIFSIGNALED(status))
        why = std::string("ended by ") + strsignal(WTERMSIG(status));
    return false;
}

bool VideoPipe::close(std::string& error)
{
    if (pid_ <= 0)
        return true;
    std::string why;
    const std::string partial = partial_;
    partial_.clear();
    if (endEncoder(why))
        return publish(partial, settings_.path, error);
    discard(partial);
    error = "ffmpeg could not write " + quotedName(settings_.path) + (why.empty() ? "" : ": " + oneLine(why));
    return false;
}
