#include <gio/gio.h>

#include <cstdio>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

// Sets a string key only where the schema has it and accepts the value: GSettings aborts on
// an unknown key, and a text that is not UTF-8 cannot be a string value.
void SetKey(GSettings* settings, GSettingsSchema* schema, const char* name,
            const std::string& value) {
    if (!g_settings_schema_has_key(schema, name) ||
        !g_utf8_validate(value.c_str(), static_cast<gssize>(value.size()), nullptr))
        return;
    GSettingsSchemaKey* key = g_settings_schema_get_key(schema, name);
    GVariant* variant = g_variant_ref_sink(g_variant_new_string(value.c_str()));
    if (g_variant_type_equal(g_settings_schema_key_get_value_type(key), G_VARIANT_TYPE_STRING) &&
        g_settings_schema_key_range_check(key, variant))
        g_settings_set_value(settings, name, variant);
    g_variant_unref(variant);
    g_settings_schema_key_unref(key);
}

} // namespace

std::string FileUri(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

bool SetGSettingsWallpaper(GSettingsFamily family, const WallpaperRequest& request) {
    const char* id = family == GSettingsFamily::Gnome      ? "org.gnome.desktop.background"
                     : family == GSettingsFamily::Cinnamon ? "org.cinnamon.desktop.background"
                                                           : "org.mate.background";
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
    if (!schema)
        return false;
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_delay(settings); // one change for the desktop to redraw, not one per key
    if (request.picture && family == GSettingsFamily::Mate) {
        SetKey(settings, schema, "picture-filename", request.path);
    } else if (request.picture) {
        const std::string uri = FileUri(request.path);
        SetKey(settings, schema, "picture-uri", uri);
        SetKey(settings, schema, "picture-uri-dark", uri);
    }
    SetKey(settings, schema, "picture-options",
           request.picture
               ? ForFit(request.fit, "centered", "wallpaper", "zoom", "scaled", "stretched")
               : "none");
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06x", request.background & 0xFFFFFFu);
    SetKey(settings, schema, "primary-color", colour);
    SetKey(settings, schema, "color-shading-type", "solid"); // the free area is one colour
    g_settings_apply(settings);
    g_settings_sync(); // a short-lived process's writes must reach the backend before it exits
    g_object_unref(settings);
    g_settings_schema_unref(schema);
    return true;
}

} // namespace velum
