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
