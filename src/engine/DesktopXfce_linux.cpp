#include <gio/gio.h>

#include <cstring>
#include <set>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

constexpr int kTimeoutMs = 5000; // a daemon that hangs must not hang the caller
constexpr char kChannel[] = "xfce4-desktop";
constexpr char kFirstGroup[] = "/backdrop/screen0/monitor0/workspace0/";

// The backdrop group "/backdrop/screen*/monitor*/workspace*/" a property belongs to, or "".
std::string GroupOf(const std::string& name) {
    static constexpr char kRoot[] = "/backdrop/";
    if (name.rfind(kRoot, 0) != 0)
        return "";
    std::size_t at = std::strlen(kRoot);
    for (const char* level : {"screen", "monitor", "workspace"}) {
        const std::size_t slash = name.find('/', at);
        if (slash == std::string::npos || name.compare(at, std::strlen(level), level) != 0)
            return "";
        at = slash + 1;
    }
    return at < name.size() ? name.substr(0, at) : "";
}

GVariant* Call(GDBusConnection* bus, const char* method, GVariant* args, GError** error) {
    // No auto start: a daemon started now would serve no running desktop.
    return g_dbus_connection_call_sync(bus, "org.xfce.Xfconf", "/org/xfce/Xfconf",
                                       "org.xfce.Xfconf", method, args, nullptr,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, error);
}

bool Set(GDBusConnection* bus, const std::string& property, GVariant* value) {
    GVariant* reply = Call(bus, "SetProperty",
                           g_variant_new("(ssv)", kChannel, property.c_str(), value), nullptr);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

// Adds the backdrop groups the channel has; false when xfconfd did not answer.
bool ReadGroups(GDBusConnection* bus, std::set<std::string>& groups) {
    GError* error = nullptr;
    GVariant* reply =
        Call(bus, "GetAllProperties", g_variant_new("(ss)", kChannel, "/backdrop"), &error);
    if (!reply) {
        // An empty channel is an error reply too, and the one that still means success.
        gchar* name = g_dbus_error_get_remote_error(error);
        const bool empty = name && std::strcmp(name, "org.xfce.Xfconf.Error.PropertyNotFound") == 0;
        g_free(name);
        g_error_free(error);
        return empty;
    }
    GVariant* properties = g_variant_get_child_value(reply, 0);
    GVariantIter iter;
    g_variant_iter_init(&iter, properties);
    while (GVariant* entry = g_variant_iter_next_value(&iter)) {
        const char* name = nullptr;
        g_variant_get_child(entry, 0, "&s", &name);
        if (std::string group = GroupOf(name); !group.empty())
            groups.insert(std::move(group));
        g_variant_unref(entry);
    }
    g_variant_unref(properties);
    g_variant_unref(reply);
    return true;
}

// xfdesktop's colour: red, green, blue and alpha, each from 0 to 1.
GVariant* Rgba(std::uint32_t colour) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
    for (int shift : {16, 8, 0})
        g_variant_builder_add(&builder, "v",
                              g_variant_new_double((colour >> shift & 0xFF) / 255.0));
    g_variant_builder_add(&builder, "v", g_variant_new_double(1.0));
    return g_variant_builder_end(&builder);
}

} // namespace

bool SetXfceWallpaper(const WallpaperRequest& request) {
    // xfconf holds text only; a path that is not UTF-8 cannot be stored.
    if (request.picture &&
        !g_utf8_validate(request.path.c_str(), static_cast<gssize>(request.path.size()), nullptr))
        return false;
    const SessionBus bus = OpenSessionBus();
    std::set<std::string> groups;
    if (!bus || !ReadGroups(bus.get(), groups))
        return false;
    if (groups.empty())
        groups.insert(kFirstGroup);
    // none, centred, tiled, zoomed, scaled, stretched
    const int style = request.picture ? ForFit(request.fit, 1, 2, 5, 4, 3) : 0;
    for (const std::string& group : groups) {
        const bool ok =
            Set(bus.get(), group + "color-style", g_variant_new_int32(0)) && // one solid colour
            Set(bus.get(), group + "rgba1", Rgba(request.background)) &&
            Set(bus.get(), group + "image-style", g_variant_new_int32(style)) &&
            (!request.picture ||
             Set(bus.get(), group + "last-image", g_variant_new_string(request.path.c_str())));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace velum
