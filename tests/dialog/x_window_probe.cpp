// A small X client for the end-to-end tests, reading titles the way a window
// manager does (the UTF-8 title first, then the legacy one).
//
//   x_window_probe find TITLE   prints the ids of viewable windows titled exactly TITLE;
//                               status 0 if there is one, 1 if none
//   x_window_probe close ID     asks the window to close as a close box does
#include <X11/Xlib.h>
#include "tests/support/x_close_request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string titleOf(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  std::string title;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False, utf8, &type,
                         &format, &count, &remaining, &data) == Success &&
      data && type == utf8 && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  char* name = nullptr;
  if (title.empty() && XFetchName(display, window, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

int findTitled(Display* display, Window parent, const std::string& title) {
  Window root = 0, parentOut = 0, *children = nullptr;
  unsigned int count = 0;
  int found = 0;
  if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return 0;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (titleOf(display, children[i]) == title && XGetWindowAttributes(display, children[i], &attributes) &&
        attributes.map_state == IsViewable) {
      std::printf("%lu\n", static_cast<unsigned long>(children[i]));
      ++found;
    }
    found += findTitled(display, children[i], title);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  const bool find = argc == 3 && std::strcmp(argv[1], "find") == 0;
  Display* display = (find || (argc == 3 && std::strcmp(argv[1], "close") == 0)) ? XOpenDisplay(nullptr) : nullptr;
  if (display == nullptr) {
    std::fprintf(stderr, "usage: x_window_probe find TITLE | close WINDOW_ID (on an X display)\n");
    return 2;
  }
  const bool ok = find ? findTitled(display, DefaultRootWindow(display), argv[2]) > 0
                       : sendCloseRequest(display, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)));
  XCloseDisplay(display);
  return ok ? 0 : 1;
}
