#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#undef BadPicture // Xrender's error code; DesktopResult has a value of that name

#include <algorithm>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

bool g_xFailed = false;

// Any error fails the call, except one for freeing a pixmap that is already gone.
int RecordXError(Display*, XErrorEvent* error) {
    if (error->request_code != X_KillClient)
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

// A server that stopped answering (suspended, hung) would hold every Xlib call forever: after
// the limit the connection is shut down, which Xlib then reports as a broken connection, so the
// caller goes on and records what it did.
class Watchdog {
  public:
    static constexpr std::chrono::seconds kLimit{10};

    Watchdog() {
        // Xlib's socket takes the lowest free descriptor, which is this one while it connects.
        const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (probe >= 0) {
            ::close(probe);
            fd_ = probe;
        }
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watchdog() { Stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The connection once it is open.
    void Guard(int fd) {
        std::lock_guard<std::mutex> lock(mutex_);
        fd_ = fd;
    }
    // Ends the watch; true when it shut the connection.
    bool Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
        return fired_;
    }

  private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, kLimit, [this] { return done_; }))
            return;
        int type = 0;
        socklen_t size = sizeof type;
        // Only a stream socket: the guess may be wrong if the connection never came to be.
        if (fd_ >= 0 && ::getsockopt(fd_, SOL_SOCKET, SO_TYPE, &type, &size) == 0 &&
            type == SOCK_STREAM) {
            fired_ = true;
            ::shutdown(fd_, SHUT_RDWR);
        }
    }

    int fd_ = -1;
    bool fired_ = false;
    bool done_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

// Turns 0x00RRGGBB into pixel values of a TrueColor visual; spare bits (alpha) are set opaque.
class PixelMap {
  public:
    PixelMap(const Visual& visual, int depth) {
        Fill(red_, visual.red_mask);
        Fill(green_, visual.green_mask);
        Fill(blue_, visual.blue_mask);
        const std::uint64_t all = depth >= 64 ? ~0ULL : (1ULL << depth) - 1;
        spare_ = all & ~(visual.red_mask | visual.green_mask | visual.blue_mask);
        plain_ =
            visual.red_mask == 0xFF0000 && visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF;
    }
    unsigned long operator()(std::uint32_t rgb) const {
        return red_[(rgb >> 16) & 255] | green_[(rgb >> 8) & 255] | blue_[rgb & 255] | spare_;
    }
    // Pixel values are the 0x00RRGGBB values themselves, with the spare bits set.
    bool plain() const { return plain_; }
    std::uint32_t spare() const { return static_cast<std::uint32_t>(spare_); }

  private:
    static void Fill(unsigned long* table, unsigned long mask) {
        const int shift = mask ? std::countr_zero(mask) : 0;
        const std::uint64_t max = mask >> shift;
        for (std::uint64_t c = 0; c < 256; ++c)
            table[c] = static_cast<unsigned long>((c * max + 127) / 255) << shift;
    }
    unsigned long red_[256], green_[256], blue_[256];
    unsigned long spare_ = 0;
    bool plain_ = false;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

Rect Intersect(const Rect& a, const Rect& b) {
    const int x = std::max(a.x, b.x), y = std::max(a.y, b.y);
    const int right = std::min(a.x + a.w, b.x + b.w), bottom = std::min(a.y + a.h, b.y + b.h);
    return right > x && bottom > y ? Rect{x, y, right - x, bottom - y} : Rect{};
}

// The monitors the root spans, cut to it: RandR 1.5's, else Xinerama's heads, else the root.
std::vector<Rect> Monitors(Display* dpy, Window root, const Rect& screen) {
    std::vector<Rect> found;
    auto add = [&](int x, int y, int w, int h) {
        if (const Rect r = Intersect({x, y, w, h}, screen); r.w > 0)
            found.push_back(r);
    };
    int event = 0, error = 0, major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &event, &error) && XRRQueryVersion(dpy, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        if (XRRMonitorInfo* monitors = XRRGetMonitors(dpy, root, True, &count)) {
            for (int i = 0; i < count; ++i)
                add(monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height);
            XRRFreeMonitors(monitors);
        }
    }
    if (found.empty() && XineramaQueryExtension(dpy, &event, &error) && XineramaIsActive(dpy)) {
        int count = 0;
        if (XineramaScreenInfo* heads = XineramaQueryScreens(dpy, &count)) {
            for (int i = 0; i < count; ++i)
                add(heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height);
            XFree(heads);
        }
    }
    if (found.empty())
        found.push_back(screen);
    return found;
}

// Floor of the half, so a picture larger than the screen is cut evenly on both sides.
int CentreOffset(int screen, int picture) {
    const int d = screen - picture;
    return d >= 0 ? d / 2 : -((1 - d) / 2);
}

// Where the picture lands on monitor `m` in a style other than Tile: its rectangle on the root at
// the size it is drawn, centred on the monitor (and cut by it where larger).
Rect Placement(const Rect& m, WallpaperFit fit, int w, int h) {
    int sw = w, sh = h;
    // Scaled by the monitor's width when the picture is the wider of the two (Fit), or the
    // narrower (Fill); the other side follows, rounded, at least a pixel.
    const bool wider = std::int64_t{w} * m.h > std::int64_t{h} * m.w;
    const auto byWidth = [&] {
        sw = m.w;
        sh = std::max<int>(1, static_cast<int>((std::int64_t{h} * m.w + w / 2) / w));
    };
    const auto byHeight = [&] {
        sh = m.h;
        sw = std::max<int>(1, static_cast<int>((std::int64_t{w} * m.h + h / 2) / h));
    };
    if (fit == WallpaperFit::Stretch)
        sw = m.w, sh = m.h;
    else if (fit == WallpaperFit::Fit)
        wider ? byWidth() : byHeight();
    else if (fit == WallpaperFit::Fill)
        wider ? byHeight() : byWidth();
    return {m.x + CentreOffset(m.w, sw), m.y + CentreOffset(m.h, sh), sw, sh};
}

// Whether the X connection is a local socket, through which shared memory reaches the server.
bool LocalConnection(Display* dpy) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(ConnectionNumber(dpy), reinterpret_cast<sockaddr*>(&address), &length) ==
               0 &&
           address.ss_family == AF_UNIX;
}

// A band of rows on its way to a drawable: the picture is drawn into it a run at a time and each
// run is put at once, so only a band of the wallpaper is ever held here, and its memory, used
// again and again, is paid for once. In shared memory when the server can read it there, which
// spares sending the bytes through the socket; the next round trip after it is made reports
// whether the server took the memory (Refused).
class BandImage final : public RowTarget {
  public:
    BandImage(Display* dpy, Visual* visual, int depth, int width, const PixelMap& map)
        : dpy_(dpy), map_(map) {
        shm_.shmid = -1;
        const auto w = static_cast<unsigned>(width);
        if (XShmQueryExtension(dpy) && LocalConnection(dpy)) {
            image_ = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                     &shm_, w, Rows(width));
            if (image_) {
                shm_.shmid = shmget(IPC_PRIVATE, Bytes(), IPC_CREAT | 0600);
                void* at = shm_.shmid >= 0 ? shmat(shm_.shmid, nullptr, 0) : nullptr;
                if (at != nullptr && at != reinterpret_cast<void*>(-1)) {
                    shm_.shmaddr = image_->data = static_cast<char*>(at);
                    shm_.readOnly = True;
                    attached_ = XShmAttach(dpy, &shm_);
                    Start();
                    return;
                }
                if (shm_.shmid >= 0)
                    shmctl(shm_.shmid, IPC_RMID, nullptr);
                shm_.shmid = -1;
                XDestroyImage(image_);
            }
        }
        image_ = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, w,
                              Rows(width), 32, 0);
        if (image_) {
            image_->data = static_cast<char*>(std::malloc(Bytes()));
            if (!image_->data) {
                XDestroyImage(image_);
                image_ = nullptr;
            }
        }
        Start();
    }
    ~BandImage() override {
        if (!image_)
            return;
        if (shm_.shmid >= 0) {
            if (attached_)
                XShmDetach(dpy_, &shm_);
            shmdt(shm_.shmaddr);
            shmctl(shm_.shmid, IPC_RMID, nullptr);
            image_->data = nullptr;
        }
        XDestroyImage(image_);
    }
    BandImage(const BandImage&) = delete;
    BandImage& operator=(const BandImage&) = delete;

    bool valid() const { return image_ != nullptr; }

    // The server could not reach our memory (another user's server); the bytes go through the
    // socket instead.
    void Refused() { attached_ = false; }

    // The rows drawn next, w wide (at most the band's width), go to `drawable` from (x, y) down.
    void Aim(Drawable drawable, GC gc, int x, int y, int w) {
        drawable_ = drawable;
        gc_ = gc;
        x_ = x;
        y_ = y;
        w_ = static_cast<unsigned>(w);
    }

    int RunRows() const override { return image_->height; }
    std::uint32_t* Room(int n, std::size_t& stride) override {
        rows_ = n;
        if (direct_) {
            stride = static_cast<std::size_t>(image_->bytes_per_line / 4);
            return reinterpret_cast<std::uint32_t*>(image_->data);
        }
        stride = static_cast<std::size_t>(image_->width);
        return pixels_.data();
    }
    // Turns the run into the visual's pixel values and queues its copy; shared memory is only
    // written again once the server has taken the copy.
    bool Drawn() override;

  private:
    static constexpr std::size_t kBandBytes = std::size_t{512} << 10;
    static unsigned Rows(int width) {
        return static_cast<unsigned>(
            std::max<std::size_t>(1, kBandBytes / (static_cast<std::size_t>(width) * 4)));
    }
    std::size_t Bytes() const {
        return static_cast<std::size_t>(image_->bytes_per_line) *
               static_cast<std::size_t>(image_->height);
    }
    // Drawn straight into the image when its pixels are 32-bit words of this machine, else into
    // rows of our own that are then put in pixel by pixel.
    void Start() {
        if (!image_)
            return;
        direct_ = image_->bits_per_pixel == 32 && image_->bytes_per_line % 4 == 0 &&
                  image_->byte_order ==
                      (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
        if (!direct_)
            pixels_.resize(static_cast<std::size_t>(image_->width) *
                           static_cast<std::size_t>(image_->height));
    }

    Display* dpy_;
    const PixelMap& map_;
    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
    bool attached_ = false;
    bool direct_ = false;
    std::vector<std::uint32_t> pixels_;
    Drawable drawable_ = None;
    GC gc_ = nullptr;
    int x_ = 0, y_ = 0, rows_ = 0;
    unsigned w_ = 0;
};

bool BandImage::Drawn() {
    const int w = static_cast<int>(w_);
    if (direct_ && !(map_.plain() && map_.spare() == 0)) {
        for (int y = 0; y < rows_; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image_->data + y * image_->bytes_per_line);
            for (int x = 0; x < w; ++x)
                row[x] =
                    map_.plain() ? row[x] | map_.spare() : static_cast<std::uint32_t>(map_(row[x]));
        }
    } else if (!direct_) {
        for (int y = 0; y < rows_; ++y)
            for (int x = 0; x < w; ++x)
                XPutPixel(image_, x, y,
                          map_(pixels_[static_cast<std::size_t>(y) * image_->width + x]));
    }
    if (attached_) {
        XShmPutImage(dpy_, drawable_, gc_, image_, 0, 0, x_, y_, w_, static_cast<unsigned>(rows_),
                     False);
        XSync(dpy_, False);
    } else {
        XPutImage(dpy_, drawable_, gc_, image_, 0, 0, x_, y_, w_, static_cast<unsigned>(rows_));
    }
    y_ += rows_;
    return true;
}

// Draws the colour, then the picture tiled from the root's corner or in its style on each
// monitor, into `pixmap` a band at a time; false when the picture can no longer be read.
bool Paint(Display* dpy, Pixmap pixmap, GC gc, BandImage& band, const std::vector<Rect>& monitors,
           const WallpaperRequest& request, const PixelMap& map, const Rect& root, int depth) {
    const PictureFile* b = request.picture;
    if (b && request.fit == WallpaperFit::Tile) {
        // One tile drawn, then laid from the corner over the root by the server.
        const int tw = std::min(root.w, b->width()), th = std::min(root.h, b->height());
        const Pixmap tile = XCreatePixmap(dpy, pixmap, static_cast<unsigned>(tw),
                                          static_cast<unsigned>(th), static_cast<unsigned>(depth));
        band.Aim(tile, gc, 0, 0, tw);
        const bool drawn = b->Draw(b->width(), b->height(), 0, 0, tw, th, band, request.background);
        if (drawn) {
            XSetTile(dpy, gc, tile);
            XSetFillStyle(dpy, gc, FillTiled);
            XFillRectangle(dpy, pixmap, gc, 0, 0, static_cast<unsigned>(root.w),
                           static_cast<unsigned>(root.h));
        }
        XFreePixmap(dpy, tile);
        return drawn;
    }
    std::vector<Rect> placed, shown;
    for (const Rect& m : monitors) {
        placed.push_back(b ? Placement(m, request.fit, b->width(), b->height()) : Rect{});
        shown.push_back(Intersect(placed.back(), m));
    }
    // The colour only where the picture leaves some of the root uncovered.
    if (monitors.size() != 1 || shown[0].w != root.w || shown[0].h != root.h) {
        XSetForeground(dpy, gc, map(request.background));
        XFillRectangle(dpy, pixmap, gc, 0, 0, static_cast<unsigned>(root.w),
                       static_cast<unsigned>(root.h));
    }
    for (std::size_t i = 0; b && i < monitors.size(); ++i) {
        const Rect &v = shown[i], &p = placed[i];
        if (v.w <= 0)
            continue;
        band.Aim(pixmap, gc, v.x, v.y, v.w);
        if (!b->Draw(p.w, p.h, v.x - p.x, v.y - p.y, v.w, v.h, band, request.background))
            return false;
    }
    return true;
}

// A pixmap of the root's size and depth with the wallpaper's copy queued into it; None when
// it cannot be made. The root's size, depth and visual come with the connection.
Pixmap BuildPixmap(Display* dpy, const WallpaperRequest& request, bool& unreadable) {
    Screen* screen = DefaultScreenOfDisplay(dpy);
    Visual* visual = DefaultVisualOfScreen(screen);
    const Rect root{0, 0, WidthOfScreen(screen), HeightOfScreen(screen)};
    const int depth = DefaultDepthOfScreen(screen);
    if (visual->c_class != TrueColor)
        return None;
    const PixelMap map(*visual, depth);
    BandImage band(dpy, visual, depth, root.w, map);
    if (!band.valid())
        return None;
    // Asking for the monitors waits for the server, which then has answered the attach too.
    const std::vector<Rect> monitors = Monitors(dpy, RootWindowOfScreen(screen), root);
    if (g_xFailed) {
        band.Refused();
        g_xFailed = false;
    }
    Pixmap pixmap = XCreatePixmap(dpy, RootWindowOfScreen(screen), static_cast<unsigned>(root.w),
                                  static_cast<unsigned>(root.h), static_cast<unsigned>(depth));
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    const bool painted = Paint(dpy, pixmap, gc, band, monitors, request, map, root, depth);
    XFreeGC(dpy, gc);
    if (!painted) {
        unreadable = true;
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

DesktopResult Publish(Display* dpy, const WallpaperRequest& request, ConnectionState& state) {
    const Window root = DefaultRootWindow(dpy);
    bool unreadable = false;
    const Pixmap pixmap = BuildPixmap(dpy, request, unreadable);
    if (unreadable)
        return DesktopResult::BadPicture;
    if (pixmap == None || state.broken)
        return DesktopResult::NoDesktop;
    char rootPmapName[] = "_XROOTPMAP_ID", esetrootName[] = "ESETROOT_PMAP_ID";
    char* names[] = {rootPmapName, esetrootName};
    Atom atoms[2] = {None, None};
    // Its round trip also reports whether the server made the pixmap and took the copy.
    if (!XInternAtoms(dpy, names, 2, False, atoms) || g_xFailed || state.broken) {
        XFreePixmap(dpy, pixmap);
        return DesktopResult::NoDesktop;
    }
    const Atom rootPmap = atoms[0], esetroot = atoms[1];
    // Reading, freeing and publishing are one step no other setter can interleave with.
    XGrabServer(dpy);
    // Both naming one pixmap is the mark of a setter that kept it alive; free it with its client.
    const Pixmap old = ReadPixmapProperty(dpy, root, rootPmap);
    if (old != None && old == ReadPixmapProperty(dpy, root, esetroot))
        XKillClient(dpy, old);
    XSetWindowBackgroundPixmap(dpy, root, pixmap);
    XClearWindow(dpy, root);
    for (Atom property : {rootPmap, esetroot})
        XChangeProperty(dpy, root, property, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetCloseDownMode(dpy, RetainPermanent);
    XSync(dpy, False);
    // Under the grab nobody else can have closed us; a break here is the server going away.
    state.published = !state.broken && !g_xFailed;
    // Closing the display waits for the ungrab; a connection closed by the next setter by then
    // is ours freed after publishing.
    XUngrabServer(dpy);
    return state.published ? DesktopResult::Done : DesktopResult::NoDesktop;
}

} // namespace

DesktopResult SetX11RootWallpaper(const WallpaperRequest& request, std::string& failure) {
    PipeSignalHeld held;
    Watchdog watchdog;
    auto silent = [&] {
        return std::string("the X display ") + XDisplayName(nullptr) + " did not answer within " +
               std::to_string(Watchdog::kLimit.count()) + " seconds";
    };
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        const bool fired = watchdog.Stop();
        failure =
            fired ? silent() : std::string("cannot open the X display ") + XDisplayName(nullptr);
        return DesktopResult::NoDesktop;
    }
    watchdog.Guard(ConnectionNumber(dpy));
    g_xFailed = false;
    ConnectionState state;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    XIOErrorHandler previousIO = XSetIOErrorHandler(QuietIOError);
    XSetIOErrorExitHandler(dpy, RecordBroken, &state);
    // Once published, a connection closed by the next setter freeing our pixmap is success.
    DesktopResult result = Publish(dpy, request, state);
    XCloseDisplay(dpy); // still watched: closing waits for the server's answer too
    const bool fired = watchdog.Stop();
    XSetIOErrorHandler(previousIO);
    XSetErrorHandler(previous);
    if (fired)
        result = DesktopResult::NoDesktop;
    if (result == DesktopResult::NoDesktop)
        failure = fired ? silent()
                        : std::string("the X display ") + XDisplayName(nullptr) +
                              (state.broken ? " closed the connection" : " refused the wallpaper");
    return result;
}

} // namespace velum
