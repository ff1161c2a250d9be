#include "engine/Desktop.h"

namespace velum {

WallpaperFit FitOfProfile(const std::string& wallpaperStyle, const std::string& tileWallpaper) {
    if (wallpaperStyle == "10")
        return WallpaperFit::Fill;
    if (wallpaperStyle == "6")
        return WallpaperFit::Fit;
    if (wallpaperStyle == "2")
        return WallpaperFit::Stretch;
    return tileWallpaper == "1" ? WallpaperFit::Tile : WallpaperFit::Center;
}

} // namespace velum
