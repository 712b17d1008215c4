// xdeletewindow <title>: asks every top-level window with that title to
// close, as a window manager does when its frame's close button is pressed
// (a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW). Exits 0 when at
// least one window got the message, 1 when none has the title, 2 without a
// display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Qt names its windows in _NET_WM_NAME (UTF-8) and WM_NAME alike; either
// one matching is enough.
bool hasTitle(Display *display, Window window, Atom property, const std::string &title)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &after, &data)
            != Success
        || !data)
        return false;
    const bool same = format == 8 && std::string(reinterpret_cast<char *>(data), count) == title;
    XFree(data);
    return same;
}

void sendDelete(Display *display, Window window)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xdeletewindow <title>\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xdeletewindow: cannot open the display\n");
        return 2;
    }
    const std::string title = argv[1];
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);

    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    int sent = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            if (hasTitle(display, children[i], netName, title)
                || hasTitle(display, children[i], XA_WM_NAME, title)) {
                sendDelete(display, children[i]);
                ++sent;
            }
        }
        XFree(children);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent > 0 ? 0 : 1;
}
