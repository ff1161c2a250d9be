// Starts a program and prints the milliseconds until its first top-level window is on screen
// and painted (a pixel inside it is no longer the blank a new window starts with).
// Usage: first_paint PROGRAM  (DISPLAY names an X server without a window manager)
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return 2;
    Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    Window shown = 0;
    while (!shown) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == MapNotify && e.xmap.event == root)
            shown = e.xmap.window;
    }
    XWindowAttributes a;
    XGetWindowAttributes(dpy, shown, &a);
    for (;;) {
        XImage* img = XGetImage(dpy, shown, a.width / 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
        unsigned long pixel = img ? XGetPixel(img, 0, 0) : 0;
        if (img)
            XDestroyImage(img);
        if (pixel != 0)
            break;
        usleep(1000);
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.0f\n", ms);
    kill(pid, SIGKILL);
    XCloseDisplay(dpy);
    return 0;
}
