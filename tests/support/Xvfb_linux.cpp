#include "support/Xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <memory>
#include <stdexcept>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velum::test {

using Connection = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

static std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
    const int shift = std::countr_zero(mask);
    return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

// Xvfb takes the first free display number and writes it to the pipe once clients can connect.
Xvfb::Xvfb(const std::string& screen, const std::string& options) {
    int ready[2];
    const pid_t parent = getpid();
    if (pipe2(ready, O_CLOEXEC) != 0 || (pid_ = fork()) < 0)
        throw std::runtime_error("Xvfb: cannot start a process");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // no stray server when the test process dies
        if (getppid() != parent || fcntl(ready[1], F_SETFD, 0) != 0)
            _exit(127);
        const std::string command = "exec Xvfb -displayfd " + std::to_string(ready[1]) +
                                    " -screen 0 " + screen + " -nolisten tcp -noreset " + options +
                                    " >/dev/null 2>&1";
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    char c = 0;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (c != '\n' || number.empty()) { // the server failed before it was ready
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + number;
}

Xvfb::~Xvfb() {
    kill(pid_, SIGTERM);
    kill(pid_, SIGCONT); // a stopped server takes its SIGTERM once it runs again
    waitpid(pid_, nullptr, 0);
}

std::optional<Picture> ReadRootPixels(const std::string& display) {
    Connection dpy{XOpenDisplay(display.c_str()), XCloseDisplay};
    XWindowAttributes a;
    XImage* image = dpy && XGetWindowAttributes(dpy.get(), DefaultRootWindow(dpy.get()), &a)
                        ? XGetImage(dpy.get(), DefaultRootWindow(dpy.get()), 0, 0,
                                    unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap)
                        : nullptr;
    if (!image)
        return std::nullopt;
    Picture out{a.width, a.height, {}};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.pixels.push_back(Channel(p, a.visual->red_mask) << 16 |
                                 Channel(p, a.visual->green_mask) << 8 |
                                 Channel(p, a.visual->blue_mask));
        }
    XDestroyImage(image);
    return out;
}

unsigned long RootPixmapProperty(const std::string& display, const char* name) {
    Connection dpy{XOpenDisplay(display.c_str()), XCloseDisplay};
    unsigned long type = None, count = 0, after = 0, id = 0;
    int format = 0;
    unsigned char* data = nullptr;
    if (dpy)
        XGetWindowProperty(dpy.get(), DefaultRootWindow(dpy.get()),
                           XInternAtom(dpy.get(), name, False), 0, 1, False, XA_PIXMAP, &type,
                           &format, &count, &after, &data);
    if (data && type == XA_PIXMAP && format == 32 && count == 1)
        id = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
    return id;
}

std::optional<std::pair<int, int>> DrawableSize(const std::string& display, unsigned long id) {
    Connection dpy{XOpenDisplay(display.c_str()), XCloseDisplay};
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    // An unknown drawable fails the round trip; the error is expected, not fatal.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const bool known = dpy && XGetGeometry(dpy.get(), id, &root, &x, &y, &w, &h, &border, &depth);
    XSetErrorHandler(previous);
    return known ? std::optional(std::pair(int(w), int(h))) : std::nullopt;
}

} // namespace velum::test
