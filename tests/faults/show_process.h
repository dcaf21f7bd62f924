// show_process.h: runs the brindle program as the fault cases need it.
//
// The program starts in a process group of its own, with a chosen environment
// and its stdout and stderr collected. finish() waits (with a generous limit,
// killing the group when it is exceeded) and then checks that no process of
// the group is left behind, so a helper the program forgot shows up as a fault.
//
//   ShowProcess show = ShowProcess::start(program, {"--no-dialog", ...}, env);
//   show.signal(SIGINT);
//   ShowOutcome outcome = show.finish(60);
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

struct ShowOutcome {
    int status = -1;            // exit status; 128 + signal number when killed
    bool timedOut = false;      // the limit passed and the group was killed
    bool leftovers = false;     // a process of the group outlived the program
    std::string out, err;
};

// Environment changes for the child: a value sets, nullopt removes.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

class ShowProcess {
public:
    static ShowProcess start(const std::string& program, const std::vector<std::string>& args, const EnvChanges& env);
    ShowProcess(ShowProcess&& other) noexcept;
    ShowProcess& operator=(ShowProcess&&) = delete;
    ~ShowProcess();

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int number) const;
    // Reads what the program has written so far without waiting for it to end.
    void collect(int waitMs);
    const std::string& errSoFar() const { return err_; }
    ShowOutcome finish(double seconds);

private:
    ShowProcess() = default;
    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    bool reaped_ = false;
    int rawStatus_ = 0;
    std::string out_, err_;
};

// The lines of a text, without their newlines.
std::vector<std::string> splitLines(const std::string& text);
