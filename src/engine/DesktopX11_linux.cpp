#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <pthread.h>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

bool g_xFailed = false;

int RecordXError(Display*, XErrorEvent*) {
    g_xFailed = true;
    return 0;
}

// The connection's fate: another setter that replaces our wallpaper frees our pixmap by closing
// our connection, which must end neither program.
struct ConnectionState {
    bool published = false; // the server confirmed our pixmap as the root's
    bool broken = false;
};

// Returning lets Xlib call the exit handler instead of printing and exiting.
int QuietIOError(Display*) {
    return 0;
}

void RecordBroken(Display*, void* state) {
    static_cast<ConnectionState*>(state)->broken = true;
}

// Writing to a connection the server closed raises SIGPIPE; it is held for this thread and
// dropped afterwards, so that no other thread's handling changes.
class PipeSignalHeld {
  public:
    PipeSignalHeld() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, &previous_);
        wasBlocked_ = sigismember(&previous_, SIGPIPE) == 1;
    }
    ~PipeSignalHeld() {
        if (wasBlocked_)
            return;
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        const timespec none{0, 0};
        while (sigtimedwait(&pipe, nullptr, &none) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

  private:
    sigset_t previous_;
    bool wasBlocked_ = false;
};

// Turns 0x00RRGGBB into pixel values of a TrueColor visual; spare bits (alpha) are set opaque.
class PixelMap {
  public:
    PixelMap(const Visual& visual, int depth) {
        Fill(red_, visual.red_mask);
        Fill(green_, visual.green_mask);
        Fill(blue_, visual.blue_mask);
        const std::uint64_t all = (1ULL << depth) - 1;
        spare_ = all & ~(visual.red_mask | visual.green_mask | visual.blue_mask);
    }
    unsigned long operator()(std::uint32_t rgb) const {
        return red_[(rgb >> 16) & 255] | green_[(rgb >> 8) & 255] | blue_[rgb & 255] | spare_;
    }

  private:
    static void Fill(unsigned long* table, unsigned long mask) {
        const int shift = mask ? std::countr_zero(mask) : 0;
        const std::uint64_t max = mask >> shift;
        for (std::uint64_t c = 0; c < 256; ++c)
            table[c] = static_cast<unsigned long>((c * max + 127) / 255) << shift;
    }
    unsigned long red_[256], green_[256], blue_[256];
    unsigned long spare_ = 0;
};

// Floor of the half, so a picture larger than the screen is cut evenly on both sides.
int CentreOffset(int screen, int picture) {
    const int d = screen - picture;
    return d >= 0 ? d / 2 : -((1 - d) / 2);
}

// Draws the colour, then the picture tiled or centred, into a ZPixmap image.
void Render(XImage& image, const WallpaperRequest& request, const PixelMap& map) {
    const int w = image.width, h = image.height;
    const Picture* p = request.picture;
    const int ox = p && !request.tiled ? CentreOffset(w, p->width) : 0;
    const int oy = p && !request.tiled ? CentreOffset(h, p->height) : 0;
    const bool direct =
        image.bits_per_pixel == 32 &&
        image.byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    const unsigned long background = map(request.background);
    std::vector<unsigned long> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(line.begin(), line.end(), background);
        if (p && request.tiled) {
            const int sy = y % p->height;
            for (int x = 0; x < w; ++x)
                line[x] = map(p->at(x % p->width, sy));
        } else if (p && y - oy >= 0 && y - oy < p->height) {
            for (int x = std::max(0, ox); x < std::min(w, ox + p->width); ++x)
                line[x] = map(p->at(x - ox, y - oy));
        }
        if (direct) {
            char* row = image.data + static_cast<std::size_t>(y) * image.bytes_per_line;
            for (int x = 0; x < w; ++x) {
                const auto v = static_cast<std::uint32_t>(line[x]);
                std::memcpy(row + 4 * x, &v, 4);
            }
        } else {
            for (int x = 0; x < w; ++x)
                XPutPixel(&image, x, y, line[x]);
        }
    }
}

// A pixmap of the root's size and depth holding the wallpaper; None when it cannot be made.
Pixmap BuildPixmap(Display* dpy, Window root, const WallpaperRequest& request) {
    XWindowAttributes root_attrs;
    if (!XGetWindowAttributes(dpy, root, &root_attrs) || root_attrs.visual->c_class != TrueColor)
        return None;
    const int w = root_attrs.width, h = root_attrs.height, depth = root_attrs.depth;
    XImage* image =
        XCreateImage(dpy, root_attrs.visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (!image)
        return None;
    image->data = static_cast<char*>(
        std::malloc(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(h)));
    if (!image->data) {
        XDestroyImage(image);
        return None;
    }
    Render(*image, request, PixelMap(*root_attrs.visual, depth));
    Pixmap pixmap = XCreatePixmap(dpy, root, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  static_cast<unsigned>(depth));
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XFreeGC(dpy, gc);
    XDestroyImage(image);
    XSync(dpy, False);
    if (g_xFailed) {
        XFreePixmap(dpy, pixmap);
        return None;
    }
    return pixmap;
}

// The pixmap a root property names, None when it is absent or not a pixmap.
Pixmap ReadPixmapProperty(Display* dpy, Window root, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap result = None;
    if (XGetWindowProperty(dpy, root, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1)
        std::memcpy(&result, data, sizeof result); // format 32 comes as an array of long
    if (data)
        XFree(data);
    return result;
}

bool Publish(Display* dpy, const WallpaperRequest& request, ConnectionState& state) {
    const Window root = DefaultRootWindow(dpy);
    const Pixmap pixmap = BuildPixmap(dpy, root, request);
    if (pixmap == None || state.broken)
        return false;
    const Atom rootPmap = XInternAtom(dpy, "_XROOTPMAP_ID", False);
    const Atom esetroot = XInternAtom(dpy, "ESETROOT_PMAP_ID", False);
    // Reading, freeing and publishing are one step no other setter can interleave with.
    XGrabServer(dpy);
    // Both naming one pixmap is the mark of a setter that kept it alive; free it with its client.
    const Pixmap old = ReadPixmapProperty(dpy, root, rootPmap);
    if (old != None && old == ReadPixmapProperty(dpy, root, esetroot)) {
        XKillClient(dpy, old);
        XSync(dpy, False);
        g_xFailed = false; // a pixmap already gone is no failure of ours
    }
    XSetWindowBackgroundPixmap(dpy, root, pixmap);
    XClearWindow(dpy, root);
    for (Atom property : {rootPmap, esetroot})
        XChangeProperty(dpy, root, property, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetCloseDownMode(dpy, RetainPermanent);
    XSync(dpy, False);
    // Under the grab nobody else can have closed us; a break here is the server going away.
    state.published = !state.broken && !g_xFailed;
    XUngrabServer(dpy);
    XSync(dpy, False);
    return state.published;
}

} // namespace

bool SetX11RootWallpaper(const WallpaperRequest& request) {
    PipeSignalHeld held;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return false;
    g_xFailed = false;
    ConnectionState state;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    XIOErrorHandler previousIO = XSetIOErrorHandler(QuietIOError);
    XSetIOErrorExitHandler(dpy, RecordBroken, &state);
    // Once published, a connection closed by the next setter freeing our pixmap is success.
    const bool ok = Publish(dpy, request, state);
    XCloseDisplay(dpy);
    XSetIOErrorHandler(previousIO);
    XSetErrorHandler(previous);
    return ok;
}

} // namespace velum
