#include "common/RegistrySettings.h"

#include <cmath>
#include <limits>
#include <vector>

#include "common/Numbers.h"

namespace velum {

namespace {

std::string AsText(const RegVariant& v) {
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* n = std::get_if<std::int32_t>(&v))
        return std::to_string(*n);
    return {};
}

std::int32_t AsInt32(const RegVariant& v) {
    if (const auto* n = std::get_if<std::int32_t>(&v))
        return *n;
    if (const auto* s = std::get_if<std::string>(&v)) {
        double d = std::nearbyint(LenientVal(*s));
        if (d >= std::numeric_limits<std::int32_t>::min() &&
            d <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(d);
    }
    return 0;
}

} // namespace

std::int32_t ReadRegData(Registry& reg, HKey key, const std::string& name, RegVariant& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::int32_t status = reg.QueryValue(key, name, &type, nullptr, &size);
    if (status != reg::kSuccess)
        return status;
    if (type == reg::kSz) {
        std::vector<unsigned char> buffer(size, 0);
        std::uint32_t got = size;
        status = reg.QueryValue(key, name, &type, buffer.data(), &got);
        if (status == reg::kSuccess)
            value = std::string(reinterpret_cast<const char*>(buffer.data()),
                                std::min<std::size_t>(got, buffer.size()));
        else
            value = std::string();
        return status;
    }
    if (type == reg::kDword) {
        unsigned char bytes[4] = {0, 0, 0, 0};
        std::uint32_t got = sizeof bytes;
        status = reg.QueryValue(key, name, &type, bytes, &got);
        if (status == reg::kSuccess) {
            std::uint32_t u = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                              (static_cast<std::uint32_t>(bytes[3]) << 24);
            value = static_cast<std::int32_t>(u);
        }
        return status;
    }
    return -1;
}

std::int32_t WriteRegData(Registry& reg, HKey key, const std::string& name, std::uint32_t type,
                          const RegVariant& value) {
    if (type == reg::kSz) {
        std::string data = AsText(value);
        data.push_back('\0');
        return reg.SetValue(key, name, reg::kSz,
                            reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<std::uint32_t>(data.size()));
    }
    if (type == reg::kDword) {
        auto u = static_cast<std::uint32_t>(AsInt32(value));
        unsigned char bytes[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                                  static_cast<unsigned char>(u >> 16),
                                  static_cast<unsigned char>(u >> 24)};
        return reg.SetValue(key, name, reg::kDword, bytes, sizeof bytes);
    }
    return 0;
}

void EnsureRegKey(Registry& reg, const std::string& keyPath, HKey root) {
    HKey key = 0;
    reg.CreateKey(root, keyPath, reg::kSettingsAccess, &key);
    if (key != 0)
        reg.CloseKey(key);
}

void WriteSetting(Registry& reg, const std::string& keyPath, const std::string& name,
                  const RegVariant& value, std::uint32_t type) {
    HKey key = 0;
    reg.OpenKey(reg::kCurrentUser, keyPath, reg::kSettingsAccess, &key);
    if (key == 0)
        return; // a missing key takes no value, as the registry itself would refuse
    WriteRegData(reg, key, name, type, value);
    reg.CloseKey(key);
}

std::string ReadSetting(Registry& reg, const std::string& keyPath, const std::string& name) {
    HKey key = 0;
    reg.OpenKey(reg::kCurrentUser, keyPath, reg::kSettingsAccess, &key);
    if (key == 0)
        return {};
    RegVariant value;
    ReadRegData(reg, key, name, value);
    reg.CloseKey(key);
    std::string text = AsText(value);
    if (!text.empty() && text.back() == '\0' && std::holds_alternative<std::string>(value))
        text.pop_back();
    return text;
}

void SaveViewBmp(Registry& reg, int viewBmpState) {
    EnsureRegKey(reg, kOptionsKey, reg::kCurrentUser);
    WriteSetting(reg, kOptionsKey, "ViewBmp", std::string(viewBmpState == 1 ? "YES" : "NO"),
                 reg::kSz);
}

void SaveWallpaperStyle(Registry& reg, int wallpaperStyle, bool tile) {
    EnsureRegKey(reg, kDesktopKey, reg::kCurrentUser);
    // Windows 7 and later read WallpaperStyle first, and a fresh profile holds "10" (Fill).
    WriteSetting(reg, kDesktopKey, "WallpaperStyle", std::to_string(wallpaperStyle), reg::kSz);
    WriteSetting(reg, kDesktopKey, "TileWallpaper", std::string(tile ? "1" : "0"), reg::kSz);
}

DesktopStyleTexts ReadWallpaperStyle(Registry& reg) {
    return {ReadSetting(reg, kDesktopKey, "WallpaperStyle"),
            ReadSetting(reg, kDesktopKey, "TileWallpaper")};
}

void RestoreWallpaperStyle(Registry& reg, const DesktopStyleTexts& texts) {
    if (!texts.wallpaperStyle.empty())
        WriteSetting(reg, kDesktopKey, "WallpaperStyle", texts.wallpaperStyle, reg::kSz);
    if (!texts.tileWallpaper.empty())
        WriteSetting(reg, kDesktopKey, "TileWallpaper", texts.tileWallpaper, reg::kSz);
}

void SaveOptions(Registry& reg, int viewBmpState, const std::string& collectionsList,
                 const std::string& current) {
    SaveViewBmp(reg, viewBmpState);
    WriteSetting(reg, kOptionsKey, "Collections", collectionsList, reg::kSz);
    WriteSetting(reg, kOptionsKey, "Current", current, reg::kSz);
}

std::string ReadViewBmp(Registry& reg) {
    return ReadSetting(reg, kOptionsKey, "ViewBmp");
}

std::string GetCollections(Registry& reg) {
    return ReadSetting(reg, kOptionsKey, "Collections");
}

std::string GetCurrentCollection(Registry& reg) {
    return ReadSetting(reg, kOptionsKey, "Current");
}

} // namespace velum
