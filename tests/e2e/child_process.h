// Runs the program under test as a child process with its output captured.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

struct ChildResult {
    int status = -1;      // exit status, or 128 + signal when killed
    bool timedOut = false;
    std::string out, err;
};

struct ChildProcess {
    pid_t pid = -1;
    int outFd = -1, errFd = -1;
};

// Starts `program args...` with `env` added to the environment (NAME=VALUE;
// "NAME=" alone removes NAME).
ChildProcess startChild(const std::string& program, const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {});

// Waits up to `seconds` for the child to end, killing it when it does not.
ChildResult finishChild(ChildProcess& child, double seconds);

// startChild followed by finishChild.
ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, double seconds = 60);

// The lines of a text, without their newlines.
std::vector<std::string> linesOf(const std::string& text);
