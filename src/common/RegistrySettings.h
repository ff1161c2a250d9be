#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/Registry.h"

namespace velum {

// A value crossing the generic layer: empty, text or a signed 32-bit number.
using RegVariant = std::variant<std::monostate, std::string, std::int32_t>;

inline constexpr char kOptionsKey[] = "Software\\Velumor\\Options";
// The user's desktop settings: TileWallpaper, and Wallpaper where the platform keeps it for us.
inline constexpr char kDesktopKey[] = "Control Panel\\desktop";

// Reads a REG_SZ or REG_DWORD value into `value`: 0 on success, the registry's code when a call
// fails, -1 (value untouched) for any other stored type.
std::int32_t ReadRegData(Registry& reg, HKey key, const std::string& name, RegVariant& value);

// Writes `value` as REG_SZ (text plus one NUL) or REG_DWORD; any other type writes nothing and
// gives 0.
std::int32_t WriteRegData(Registry& reg, HKey key, const std::string& name, std::uint32_t type,
                          const RegVariant& value);

// Creates the key below `root` when missing.
void EnsureRegKey(Registry& reg, const std::string& keyPath, HKey root);

// Writes a value under HKEY_CURRENT_USER\keyPath; nothing happens when the key is missing.
void WriteSetting(Registry& reg, const std::string& keyPath, const std::string& name,
                  const RegVariant& value, std::uint32_t type);

// Reads a value under HKEY_CURRENT_USER\keyPath as text, one trailing NUL removed; empty when
// the key or the value is missing or of another type.
std::string ReadSetting(Registry& reg, const std::string& keyPath, const std::string& name);

// Writes ViewBmp ("YES" for check state 1, else "NO").
void SaveViewBmp(Registry& reg, int viewBmpState);

// Writes the desktop's WallpaperStyle (Windows' number: 0 lets TileWallpaper decide, 2 stretches,
// 6 fits, 10 fills) and then its TileWallpaper flag ("1" tiles, "0" centres).
void SaveWallpaperStyle(Registry& reg, int wallpaperStyle, bool tile);

// The desktop's WallpaperStyle and TileWallpaper texts; empty where one is missing.
struct DesktopStyleTexts {
    std::string wallpaperStyle, tileWallpaper;
};
DesktopStyleTexts ReadWallpaperStyle(Registry& reg);
// Puts back texts read earlier; one that was missing is left as it is now.
void RestoreWallpaperStyle(Registry& reg, const DesktopStyleTexts& texts);

// Writes ViewBmp ("YES" for check state 1, else "NO"), Collections and Current.
void SaveOptions(Registry& reg, int viewBmpState, const std::string& collectionsList,
                 const std::string& current);

// The stored ViewBmp text (compare with "YES" exactly).
std::string ReadViewBmp(Registry& reg);

// The stored Collections text.
std::string GetCollections(Registry& reg);

// The stored Current text.
std::string GetCurrentCollection(Registry& reg);

} // namespace velum
