// quit_signal.h: the signals that end brindle in order, and the ones it ignores.
//
// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a logout, the terminal closing) are
// caught and read as a quit request: the live show ends after the current
// frame, a capture after the frame in hand, the launch dialog at once. SIGPIPE
// is ignored, so a reader that went away (`brindle ... 2>&1 | head -1`) turns
// into failed writes rather than a silent death; SIGXFSZ likewise, so a file
// over `ulimit -f` fails its write with a reason.
//
//   installQuitSignals();                    // first thing in main()
//   if (quitSignalled()) ... stop ...;
//   return 128 + quitSignalNumber();        // a capture cut short says so
#pragma once

void installQuitSignals();
bool quitSignalled();
// The number of the quit signal caught last; 0 when none was.
int quitSignalNumber();
void clearQuitSignal();
