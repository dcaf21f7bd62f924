// Starts a program under test in a process group of its own, collects its
// output and waits for it with a limit.
#include "tests/support/process.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

Process::Process(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
    const fs::path& cwd)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return;
    std::vector<std::string> argvText {program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        for (const std::string& entry : env) {
            const size_t eq = entry.find('=');
            const std::string name = entry.substr(0, eq), value = entry.substr(eq + 1);
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (std::string& a : argvText)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (cwd.empty() || chdir(cwd.c_str()) == 0)
            execvp(program.c_str(), argv.data());
        _exit(127);
    }
    // Set the group from this side too, so a signal sent at once cannot miss it.
    setpgid(pid_, pid_);
    close(out[1]);
    close(err[1]);
    fds_[0] = out[0];
    fds_[1] = err[0];
}

Process::~Process()
{
    if (pid_ > 0 && !reaped_) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : fds_)
        if (fd >= 0)
            close(fd);
}

bool Process::running()
{
    if (pid_ > 0 && !reaped_ && waitpid(pid_, &rawStatus_, WNOHANG) == pid_)
        reaped_ = true;
    return pid_ > 0 && !reaped_;
}

void Process::signal(int number) const
{
    if (pid_ > 0)
        kill(pid_, number);
}

void Process::collect(int waitMs)
{
    pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (poll(polled, 2, waitMs) <= 0)
        return;
    for (int i = 0; i < 2; ++i) {
        if (!polled[i].revents)
            continue;
        char buffer[4096];
        const ssize_t n = read(fds_[i], buffer, sizeof buffer);
        if (n > 0) {
            (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
        } else {
            close(fds_[i]);
            fds_[i] = -1;
        }
    }
}

bool Process::awaitText(int fd, const std::string& text, double seconds)
{
    const std::string& output = fd == STDOUT_FILENO ? out_ : err_;
    for (int i = 0; i < seconds * 10 && output.find(text) == std::string::npos && running(); ++i)
        collect(100);
    return output.find(text) != std::string::npos;
}

ProcessResult Process::finish(double seconds)
{
    using Clock = std::chrono::steady_clock;
    ProcessResult result;
    if (pid_ <= 0)
        return result;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    auto exitedAt = Clock::time_point::max();
    // Reads until both pipes close. Once the program itself has ended, anything
    // still holding its pipes after a grace period is a process it left behind.
    while (fds_[0] >= 0 || fds_[1] >= 0) {
        if (!running())
            exitedAt = std::min(exitedAt, Clock::now());
        result.timedOut = Clock::now() >= deadline;
        result.leftovers = Clock::now() - exitedAt > std::chrono::seconds(5);
        if (result.timedOut || result.leftovers)
            break;
        collect(100);
    }
    if (result.timedOut || result.leftovers)
        kill(-pid_, SIGKILL);
    if (!reaped_)
        waitpid(pid_, &rawStatus_, 0);
    reaped_ = true;
    if (!pollUntil(5, [&] { return kill(-pid_, 0) != 0; }, 100)) {
        result.leftovers = true;
        kill(-pid_, SIGKILL);
    }
    result.status = WIFEXITED(rawStatus_) ? WEXITSTATUS(rawStatus_) : 128 + WTERMSIG(rawStatus_);
    result.out = out_;
    result.err = err_;
    return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
    const std::vector<std::string>& env, double seconds, const fs::path& cwd)
{
    return Process(program, args, env, cwd).finish(seconds);
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

bool pollUntil(double seconds, const std::function<bool()>& done, int everyMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
    }
    return true;
}

std::string decodedFrames(const std::vector<std::string>& input, const std::string& pixels)
{
    std::vector<std::string> args = {"-v", "error"};
    args.insert(args.end(), input.begin(), input.end());
    args.insert(args.end(), {"-map", "0:v", "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", pixels, "-"});
    return runProcess("ffmpeg", args).out;
}

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ScratchDir::ScratchDir(const std::string& stem)
{
    std::string pattern = (fs::temp_directory_path() / ("brindle-" + stem + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()))
        path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> fileNamesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code missing;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, missing))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
