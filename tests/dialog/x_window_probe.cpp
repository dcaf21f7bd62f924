// A small X client for the end-to-end tests, reading titles the way a window
// manager does (the UTF-8 title first, then the legacy one).
//
//   x_window_probe find TITLE   prints the ids of viewable windows titled exactly TITLE;
//                               status 0 if there is one, 1 if none
//   x_window_probe close ID     asks the window to close as a close box does
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string utf8Title(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  std::string title;
  if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &count, &remaining,
                         &data) == Success &&
      data != nullptr && type == utf8 && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  return title;
}

std::string legacyTitle(Display* display, Window window) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(display, window, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

bool viewable(Display* display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

int findTitled(Display* display, Window parent, const std::string& title) {
  Window root = 0, parentOut = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  int found = 0;
  if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return 0;
  for (unsigned int i = 0; i < count; ++i) {
    const Window child = children[i];
    std::string name = utf8Title(display, child);
    if (name.empty()) name = legacyTitle(display, child);
    if (name == title && viewable(display, child)) {
      std::printf("%lu\n", static_cast<unsigned long>(child));
      ++found;
    }
    found += findTitled(display, child, title);
  }
  if (children) XFree(children);
  return found;
}

bool sendCloseRequest(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
  XFlush(display);
  return sent;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "find") != 0 && std::strcmp(argv[1], "close") != 0)) {
    std::fprintf(stderr, "usage: x_window_probe find TITLE | close WINDOW_ID\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x_window_probe: cannot open the display\n");
    return 2;
  }
  int status = 0;
  if (std::strcmp(argv[1], "find") == 0) {
    status = findTitled(display, DefaultRootWindow(display), argv[2]) > 0 ? 0 : 1;
  } else {
    const Window window = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
    status = sendCloseRequest(display, window) ? 0 : 1;
  }
  XCloseDisplay(display);
  return status;
}
