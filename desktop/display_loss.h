// display_loss.h: the end of the program when its X display goes away.
//
// Xlib cannot go on once the connection to the X server breaks (the server
// ended or was killed): it calls an I/O error handler and exits. Ours says
// so in one "brindle:" line and exits with status 1, in place of Xlib's own
// lines and of the toolkits' handlers, which print nothing or several lines.
// GTK and SDL install handlers of their own when they open the display, so
// each of those places installs ours again afterwards.
//
//   initDialogToolkit(error);  installDisplayLossHandler();
#pragma once

void installDisplayLossHandler();
