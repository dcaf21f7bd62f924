// timed_exec: writes CLOCK_MONOTONIC in nanoseconds into FILE, then becomes
// the program it is given, so a start-up is timed from the moment that
// program's process begins, loading and linking included.
//
//   timed_exec FILE PROGRAM [ARGS...]
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: timed_exec FILE PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::fprintf(stderr, "timed_exec: cannot write %s (%s)\n", argv[1], std::strerror(errno));
        return 1;
    }
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    const bool written = std::fprintf(out, "%lld\n", ns) > 0;
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "timed_exec: cannot write %s\n", argv[1]);
        return 1;
    }
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "timed_exec: cannot run %s (%s)\n", argv[2], std::strerror(errno));
    return 127;
}
