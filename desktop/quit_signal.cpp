// The quit signals' handler and flags, and the signals the program ignores.
#include "desktop/quit_signal.h"

#include <csignal>
#include <initializer_list>

#include <SDL.h>

namespace {

volatile std::sig_atomic_t quitSignal = 0;

void onQuitSignal(int number) { quitSignal = number; }

}  // namespace

void installQuitSignals()
{
    // SDL would otherwise install handlers of its own that turn these into SDL_QUIT.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action { };
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool quitSignalled() { return quitSignal != 0; }

int quitSignalNumber() { return quitSignal; }

void clearQuitSignal() { quitSignal = 0; }
