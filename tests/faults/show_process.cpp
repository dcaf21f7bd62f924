#include "show_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool groupAlive(pid_t group) {
    return kill(-group, 0) == 0;
}

}  // namespace

ShowProcess ShowProcess::start(const std::string& program, const std::vector<std::string>& args,
                               const EnvChanges& env) {
    ShowProcess show;
    int out[2], err[2];
    if (pipe(out) != 0) return show;
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
        return show;
    }
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    show.pid_ = fork();
    if (show.pid_ == 0) {
        setpgid(0, 0);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        close(err[0]);
        close(err[1]);
        for (const auto& [name, value] : env) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        std::vector<char*> argv;
        for (std::string& a : argvText) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    // Set the group from this side too, so a signal sent at once cannot miss it.
    if (show.pid_ > 0) setpgid(show.pid_, show.pid_);
    close(out[1]);
    close(err[1]);
    show.outFd_ = out[0];
    show.errFd_ = err[0];
    return show;
}

ShowProcess::ShowProcess(ShowProcess&& other) noexcept
    : pid_(other.pid_), outFd_(other.outFd_), errFd_(other.errFd_), reaped_(other.reaped_),
      rawStatus_(other.rawStatus_), out_(std::move(other.out_)), err_(std::move(other.err_)) {
    other.pid_ = -1;
    other.outFd_ = other.errFd_ = -1;
}

ShowProcess::~ShowProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

bool ShowProcess::running() {
    if (pid_ <= 0 || reaped_) return false;
    if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
}

void ShowProcess::signal(int number) const {
    if (pid_ > 0) kill(pid_, number);
}

void ShowProcess::collect(int waitMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (poll(fds, 2, waitMs) <= 0) return;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
        else {
            close(fds[i].fd);
            (i == 0 ? outFd_ : errFd_) = -1;
        }
    }
}

ShowOutcome ShowProcess::finish(double seconds) {
    ShowOutcome outcome;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    std::optional<Clock::time_point> exitedAt;
    // Reads until both pipes close. Once the program itself has ended, anything
    // still holding its pipes after a grace period is a process it left behind.
    while (outFd_ >= 0 || errFd_ >= 0 || running()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            outcome.timedOut = true;
            break;
        }
        if (!exitedAt && !running()) exitedAt = now;
        if (exitedAt && now - *exitedAt > std::chrono::seconds(5)) {
            outcome.leftovers = true;
            break;
        }
        if (outFd_ >= 0 || errFd_ >= 0) collect(100);
        else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (outcome.timedOut || outcome.leftovers) kill(-pid_, SIGKILL);
    if (!reaped_) {
        waitpid(pid_, &rawStatus_, 0);
        reaped_ = true;
    }
    for (int i = 0; i < 50 && groupAlive(pid_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (groupAlive(pid_)) {
        outcome.leftovers = true;
        kill(-pid_, SIGKILL);
    }
    outcome.status = WIFEXITED(rawStatus_) ? WEXITSTATUS(rawStatus_) : 128 + WTERMSIG(rawStatus_);
    outcome.out = out_;
    outcome.err = err_;
    return outcome;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
