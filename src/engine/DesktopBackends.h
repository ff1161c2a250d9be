#pragma once

// The Linux desktops the wallpaper call can reach. Linux only.

#include <cstdint>
#include <string>

#include "engine/Bitmap.h"

namespace velum {

// What to show: a picture (null for none) in a style, on the desktop colour.
struct WallpaperRequest {
    std::string path;                 // the bitmap's full path; empty for none
    const Picture* picture = nullptr; // decoded, null for none
    bool tiled = false;               // else centred at natural size
    std::uint32_t background = 0;     // 0x00RRGGBB
};

enum class GSettingsFamily { Gnome, Cinnamon, Mate };

// Draws the request into a pixmap of the X root window and publishes it; false without a display.
bool SetX11RootWallpaper(const WallpaperRequest& request);

// Sets the desktop's background keys through GSettings; false when the schema is not installed.
bool SetGSettingsWallpaper(GSettingsFamily family, const WallpaperRequest& request);

// The file URI of an absolute path, percent-encoded.
std::string FileUri(const std::string& path);

} // namespace velum
