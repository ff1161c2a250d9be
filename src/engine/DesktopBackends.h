#pragma once

// The Linux desktops the wallpaper call can reach. Linux only.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Desktop.h"
#include "engine/PictureFile.h"

namespace velum {

// What to show: a picture (null for none) in a style, on the desktop colour.
struct WallpaperRequest {
    std::string path;                     // the picture's full path; empty for none
    const PictureFile* picture = nullptr; // checked, null for none
    WallpaperFit fit = WallpaperFit::Center;
    std::uint32_t background = 0; // 0x00RRGGBB
};

// A desktop setting's value for the request's style: one value per WallpaperFit.
template <class T> T ForFit(WallpaperFit fit, T center, T tile, T fill, T fitWhole, T stretch) {
    switch (fit) {
    case WallpaperFit::Tile:
        return tile;
    case WallpaperFit::Fill:
        return fill;
    case WallpaperFit::Fit:
        return fitWhole;
    case WallpaperFit::Stretch:
        return stretch;
    case WallpaperFit::Center:
        break;
    }
    return center;
}

enum class GSettingsFamily { Gnome, Cinnamon, Mate };

// Draws the request into a pixmap of the X root window, on each monitor in its style (tiled once
// from the root's corner), and publishes it. BadPicture when the picture can no longer be read;
// NoDesktop, saying why in `failure`, when no display takes it.
DesktopResult SetX11RootWallpaper(const WallpaperRequest& request, std::string& failure);

// Sets the desktop's background keys through GSettings; false when the schema is not installed.
bool SetGSettingsWallpaper(GSettingsFamily family, const WallpaperRequest& request);

// The file URI of an absolute path, percent-encoded.
std::string FileUri(const std::string& path);

// Sets every Plasma desktop through the shell's script call; false when no shell answers.
bool SetKdeWallpaper(const WallpaperRequest& request);

// Sets every Xfce backdrop through xfconf; false when xfconfd is not on the session bus.
bool SetXfceWallpaper(const WallpaperRequest& request);

// Sets every sway output's background through sway's IPC socket ($SWAYSOCK); false, saying why in
// `failure`, when sway cannot be reached or refuses.
bool SetSwayWallpaper(const WallpaperRequest& request, std::string& failure);

// The sway command that shows the request on every output.
std::string SwayBackgroundCommand(const WallpaperRequest& request);

// `text` as one argument of a sway command that reaches sway's path expansion unchanged.
std::string SwayQuoted(const std::string& text);

// Sends `command` as a RUN_COMMAND message on the socket at `socketPath`; sway's JSON answer,
// or empty, saying why in `failure`.
std::string SwayRunCommand(const std::string& socketPath, const std::string& command,
                           std::string& failure);

// `text` as a double-quoted JavaScript string literal that nothing in it can end or break.
std::string JsStringLiteral(const std::string& text);

} // namespace velum

typedef struct _GDBusConnection GDBusConnection;

namespace velum {

struct SessionBusCloser {
    void operator()(GDBusConnection* bus) const;
};
using SessionBus = std::unique_ptr<GDBusConnection, SessionBusCloser>;

// A connection of its own to the session bus, null when there is none; a bus is never launched.
SessionBus OpenSessionBus();

} // namespace velum
