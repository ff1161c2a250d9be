#include "support/Xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <chrono>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velum::test {

namespace {

// Starts a program quietly; it is told to stop when this process dies, even by a crash.
pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_WRONLY);
        if (getppid() != parent || null < 0)
            _exit(127);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Whether the server `pid` accepts connections on display `n`. Its lock file must name it:
// a server of a parallel test may answer on the same number while ours gives up.
bool WaitReady(pid_t pid, int n) {
    const std::string name = ":" + std::to_string(n);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return false;
        if (Display* dpy = XOpenDisplay(name.c_str())) {
            XCloseDisplay(dpy);
            long owner = -1;
            std::ifstream("/tmp/.X" + std::to_string(n) + "-lock") >> owner;
            return owner == pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The 8-bit value of the channel `mask` selects from `pixel`.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
    const int shift = std::countr_zero(mask);
    const unsigned long max = mask >> shift;
    return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / max);
}

bool g_failed = false;
int RecordFailure(Display*, XErrorEvent*) {
    g_failed = true;
    return 0;
}

} // namespace

Xvfb::Xvfb(int width, int height, int depth) {
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    // Parallel test processes start at different numbers, so they seldom race for one.
    for (int i = 0; i < 400 && pid_ < 0; ++i) {
        const int n = 100 + (static_cast<int>(getpid()) + i) % 400;
        if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0 ||
            access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0)
            continue;
        pid_t pid = Spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen, "-noreset",
                           "-nolisten", "tcp"});
        if (pid < 0)
            break;
        if (WaitReady(pid, n)) {
            pid_ = pid;
            display_ = ":" + std::to_string(n);
        } else {
            Stop(pid);
        }
    }
    if (pid_ < 0)
        throw std::runtime_error("Xvfb did not start");
}

Xvfb::~Xvfb() {
    Stop(pid_);
}

std::optional<Picture> ReadRootPixels(const std::string& display) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy)
        return std::nullopt;
    const Window root = DefaultRootWindow(dpy);
    XWindowAttributes attrs;
    XGetWindowAttributes(dpy, root, &attrs);
    XImage* image = XGetImage(dpy, root, 0, 0, static_cast<unsigned>(attrs.width),
                              static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
    std::optional<Picture> out;
    if (image) {
        const Visual& v = *attrs.visual;
        out = Picture{attrs.width, attrs.height, {}};
        for (int y = 0; y < attrs.height; ++y)
            for (int x = 0; x < attrs.width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                out->pixels.push_back(Channel(p, v.red_mask) << 16 | Channel(p, v.green_mask) << 8 |
                                      Channel(p, v.blue_mask));
            }
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return out;
}

unsigned long RootPixmapProperty(const std::string& display, const char* name) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0, id = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, name, False), 0, 1, False,
                       XA_PIXMAP, &type, &format, &count, &after, &data);
    if (data && type == XA_PIXMAP && format == 32 && count == 1)
        id = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    XCloseDisplay(dpy);
    return id;
}

std::optional<std::pair<int, int>> DrawableSize(const std::string& display, unsigned long id) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy)
        return std::nullopt;
    g_failed = false;
    XErrorHandler previous = XSetErrorHandler(RecordFailure);
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    const bool known = XGetGeometry(dpy, id, &root, &x, &y, &w, &h, &border, &depth);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    XCloseDisplay(dpy);
    if (!known || g_failed)
        return std::nullopt;
    return std::pair(static_cast<int>(w), static_cast<int>(h));
}

} // namespace velum::test
