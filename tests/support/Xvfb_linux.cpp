#include "support/Xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <csignal>
#include <memory>
#include <stdexcept>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velum::test {

namespace {

using Connection = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

// The 8-bit value of the channel `mask` selects from `pixel`.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
    const int shift = std::countr_zero(mask);
    return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

} // namespace

// Xvfb takes the first free display number and writes it to the pipe once clients can connect.
Xvfb::Xvfb(int width, int height, int depth, const std::vector<std::string>& options) {
    int ready[2];
    const pid_t parent = getpid();
    if (pipe2(ready, O_CLOEXEC) != 0 || (pid_ = fork()) < 0)
        throw std::runtime_error("Xvfb: cannot start a process");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // no stray server when the test process dies
        if (getppid() != parent || fcntl(ready[1], F_SETFD, 0) != 0)
            _exit(127);
        dup2(open("/dev/null", O_WRONLY), 1);
        dup2(1, 2);
        const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x" +
                                 std::to_string(depth),
                          fd = std::to_string(ready[1]);
        std::vector<const char*> argv{"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                                      size.c_str(), "-nolisten",  "tcp",      "-noreset"};
        for (const std::string& option : options)
            argv.push_back(option.c_str());
        argv.push_back(nullptr);
        execvp("Xvfb", const_cast<char* const*>(argv.data()));
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
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0) {
        kill(pid_, SIGCONT); // a stopped server takes its SIGTERM once it runs again
        waitpid(pid_, nullptr, 0);
    }
}

void Xvfb::Signal(int signal) {
    if (pid_ > 0)
        kill(pid_, signal);
}

std::optional<Picture> ReadRootPixels(const std::string& display) {
    Connection dpy{XOpenDisplay(display.c_str()), XCloseDisplay};
    XWindowAttributes a;
    if (!dpy || !XGetWindowAttributes(dpy.get(), DefaultRootWindow(dpy.get()), &a))
        return std::nullopt;
    XImage* image = XGetImage(dpy.get(), DefaultRootWindow(dpy.get()), 0, 0, unsigned(a.width),
                              unsigned(a.height), AllPlanes, ZPixmap);
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
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0, id = 0;
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
