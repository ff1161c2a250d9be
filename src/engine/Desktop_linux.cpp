#include <sys/stat.h>

#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <sstream>

#include "common/RegistrySettings.h"
#include "engine/Desktop.h"
#include "engine/DesktopBackends.h"

namespace velum {

namespace {

constexpr char kColorsKey[] = "Control Panel\\Colors";

// None: no desktop this program can reach.
enum class Session { X11, Gnome, Cinnamon, Mate, Kde, Xfce, Sway, None };

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The desktop to reach: the first known name of XDG_CURRENT_DESKTOP, else the X root window.
Session DetectSession() {
    struct Known {
        const char* name;
        Session session;
    };
    static constexpr Known kKnown[] = {
        {"gnome", Session::Gnome},
        {"ubuntu", Session::Gnome},
        {"unity", Session::Gnome},
        {"budgie", Session::Gnome},
        {"pantheon", Session::Gnome},
        {"cinnamon", Session::Cinnamon},
        {"x-cinnamon", Session::Cinnamon},
        {"mate", Session::Mate},
        {"kde", Session::Kde},
        {"xfce", Session::Xfce},
        {"sway", Session::Sway},
    };
    std::istringstream names(Env("XDG_CURRENT_DESKTOP"));
    for (std::string name; std::getline(names, name, ':');)
        for (const Known& known : kKnown)
            if (Lower(name) == known.name &&
                (known.session != Session::Sway || !Env("SWAYSOCK").empty()))
                return known.session;
    // A Wayland session hides the X root window behind its own desktop.
    if (!Env("WAYLAND_DISPLAY").empty() || Env("DISPLAY").empty())
        return Session::None;
    return Session::X11;
}

// The session found where no desktop can be reached, for the message that says so.
std::string UnreachableSession() {
    const std::string desktop = Env("XDG_CURRENT_DESKTOP");
    if (Lower(desktop).find("sway") != std::string::npos)
        return "a sway session without SWAYSOCK";
    if (!Env("WAYLAND_DISPLAY").empty())
        return "a Wayland session of " + (desktop.empty() ? "an unnamed desktop" : desktop) +
               ", which offers no wallpaper call Velum knows";
    return desktop.empty() ? "no X display, and XDG_CURRENT_DESKTOP is not set"
                           : "no X display, and no desktop Velum knows in " + desktop;
}

// "R G B" as 0x00RRGGBB; black when it is not three numbers from 0 to 255.
std::uint32_t ParseColour(const std::string& text) {
    std::istringstream in(text);
    int r = -1, g = -1, b = -1;
    in >> r >> g >> b;
    if (!in || (in >> std::ws, !in.eof()))
        return 0;
    for (int c : {r, g, b})
        if (c < 0 || c > 255)
            return 0;
    return static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

// Everything a call's outcome depends on, so the second call of a pair can reuse the first.
struct CallKey {
    std::string text;
    WallpaperFit fit = WallpaperFit::Center;
    std::uint32_t background = 0;
    long long size = -1;
    long long mtime = 0;
    Session session = Session::None;
    std::string display, swaySocket;
    bool operator==(const CallKey&) const = default;
};

class LinuxDesktop final : public Desktop {
  public:
    explicit LinuxDesktop(Registry& registry) : reg_(registry) {}

    DesktopResult SetDeskWallpaper(const std::string& text) override {
        const bool none = text == kNoWallpaper;
        // A profile that cannot be written still leaves the desktop to change; the failure is
        // passed on afterwards.
        std::exception_ptr profileFailure;
        const auto writeProfile = [&] {
            try {
                EnsureRegKey(reg_, kDesktopKey, reg::kCurrentUser);
                WriteSetting(reg_, kDesktopKey, "Wallpaper", none ? std::string() : text, reg::kSz);
            } catch (const std::exception&) {
                profileFailure = std::current_exception();
            }
        };
        DesktopResult result = Show(text, none, writeProfile);
        if (profileFailure)
            std::rethrow_exception(profileFailure);
        return result;
    }

    std::string failure() const override { return failure_; }

  private:
    // Shows the request, or gives the first call's result again for the second of a pair. The
    // profile names the bitmap unless it could not be read.
    DesktopResult Show(const std::string& text, bool none,
                       const std::function<void()>& writeProfile) {
        CallKey key{text,
                    FitOfProfile(ReadSetting(reg_, kDesktopKey, "WallpaperStyle"),
                                 ReadSetting(reg_, kDesktopKey, "TileWallpaper")),
                    ParseColour(ReadSetting(reg_, kColorsKey, "Background")),
                    -1,
                    0,
                    DetectSession(),
                    Env("DISPLAY"),
                    Env("SWAYSOCK")};
        struct stat info {};
        if (!none && stat(text.c_str(), &info) == 0) {
            key.size = static_cast<long long>(info.st_size);
            key.mtime =
                static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
        }
        // Only the second call of a pair is spared; a later one redraws what others may have
        // changed.
        if (last_ && *last_ == key) {
            last_.reset();
            if (lastWrote_)
                writeProfile();
            return lastResult_;
        }
        failure_.clear();
        bool wrote = false;
        lastResult_ = Draw(key, none, [&] {
            wrote = true;
            writeProfile();
        });
        lastWrote_ = wrote;
        last_ = std::move(key);
        return lastResult_;
    }

    // Checks the bitmap and hands it to the running desktop; the profile names it unless it could
    // not be read.
    DesktopResult Draw(const CallKey& key, bool none, const std::function<void()>& writeProfile) {
        std::optional<PictureFile> picture;
        if (!none)
            picture = PictureFile::Open(key.text);
        // The root window's drawing reads the whole file; a desktop given only the path is given
        // none that is broken further in.
        if (picture && key.session != Session::X11 && !picture->Decodes())
            picture.reset();
        if (key.session == Session::None) {
            if (none || picture)
                writeProfile();
            failure_ = UnreachableSession();
            return DesktopResult::NoDesktop;
        }
        if (!none && !picture)
            return DesktopResult::BadPicture;
        WallpaperRequest request{none ? std::string() : key.text, picture ? &*picture : nullptr,
                                 key.fit, key.background};
        bool shown = false;
        switch (key.session) {
        case Session::X11: {
            const DesktopResult result = SetX11RootWallpaper(request, failure_);
            if (result != DesktopResult::BadPicture)
                writeProfile();
            return result;
        }
        case Session::Sway:
            shown = SetSwayWallpaper(request, failure_);
            break;
        case Session::Gnome:
            shown = SetGSettingsWallpaper(GSettingsFamily::Gnome, request);
            break;
        case Session::Cinnamon:
            shown = SetGSettingsWallpaper(GSettingsFamily::Cinnamon, request);
            break;
        case Session::Mate:
            shown = SetGSettingsWallpaper(GSettingsFamily::Mate, request);
            break;
        case Session::Kde:
            shown = SetKdeWallpaper(request);
            break;
        case Session::Xfce:
            shown = SetXfceWallpaper(request);
            break;
        default:
            break;
        }
        writeProfile();
        if (!shown && failure_.empty())
            failure_ = "the desktop (" + Env("XDG_CURRENT_DESKTOP") + ") did not answer";
        return shown ? DesktopResult::Done : DesktopResult::NoDesktop;
    }

    Registry& reg_;
    std::string failure_;
    std::optional<CallKey> last_;
    DesktopResult lastResult_ = DesktopResult::NoDesktop;
    bool lastWrote_ = false; // whether the first call of the pair wrote the profile
};

} // namespace

std::unique_ptr<Desktop> CreatePlatformDesktop(Registry& registry) {
    return std::make_unique<LinuxDesktop>(registry);
}

} // namespace velum
