#pragma once

#include <memory>
#include <string>

#include "common/Registry.h"

namespace velum {

// The text that takes the wallpaper away.
inline constexpr char kNoWallpaper[] = "(None)";

enum class DesktopResult {
    Done,       // the desktop shows the change
    BadPicture, // the file is not a bitmap that can be shown; the desktop is as it was
    NoDesktop,  // no desktop could be reached (no display, an unknown Wayland session)
};

// How the picture meets the screen.
enum class WallpaperFit {
    Center,  // at its natural size, centred, cut where it is larger
    Tile,    // at its natural size, repeated from the top left corner
    Fill,    // scaled to cover the screen, centred, cut where it overflows
    Fit,     // scaled to show whole, centred, the desktop colour around it
    Stretch, // scaled to the screen's sides
};

// The style of the profile's WallpaperStyle and TileWallpaper values, read as Windows 7 and later
// read them: "10" Fill, "6" Fit, "2" Stretch; otherwise TileWallpaper "1" tiles and anything
// else centres.
WallpaperFit FitOfProfile(const std::string& wallpaperStyle, const std::string& tileWallpaper);

// The system call that sets the wallpaper: stores the text in the user's profile and shows the
// bitmap, in the style of the profile's TileWallpaper value, on the desktop.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // Sets the wallpaper to the bitmap at `text`, or removes it for "(None)".
    virtual DesktopResult SetDeskWallpaper(const std::string& text) = 0;
    // Why the last call reached no desktop, naming the session it found; empty when unknown.
    virtual std::string failure() const { return {}; }
};

// The platform's desktop call, writing the profile through `registry`.
std::unique_ptr<Desktop> CreatePlatformDesktop(Registry& registry);

} // namespace velum
