// The Xlib I/O error handler that ends the program with one line when the
// X display goes away.
#include "desktop/display_loss.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "desktop/report.h"

namespace {

int onDisplayLost(Display* display)
{
    const char* name = display ? DisplayString(display) : nullptr;
    report("lost the connection to the display" + (name ? " " + quotedName(name) : std::string())
        + " (the X server ended or closed it); start brindle again once the display is back");
    std::fflush(stderr);
    // Nothing that talks to the server may run now, exit handlers included.
    _exit(1);
}

}  // namespace

void installDisplayLossHandler() { XSetIOErrorHandler(onDisplayLost); }
