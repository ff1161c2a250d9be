#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

constexpr int kTimeoutMs = 5000; // a shell that hangs must not hang the caller

// The image plugin's FillMode, Qt's Image.fillMode values: Pad (centred at natural size), Tile,
// PreserveAspectCrop, PreserveAspectFit, Stretch.
int FillMode(WallpaperFit fit) {
    return ForFit(fit, 6, 3, 2, 1, 0);
}

std::string Script(const WallpaperRequest& request) {
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06x", request.background & 0xFFFFFFu);
    const std::string plugin = JsStringLiteral(request.picture ? "org.kde.image" : "org.kde.color");
    std::string script = "var all = desktops();\n"
                         "for (var i = 0; i < all.length; ++i) {\n"
                         "    var d = all[i];\n"
                         "    d.wallpaperPlugin = " +
                         plugin +
                         ";\n"
                         "    d.currentConfigGroup = [\"Wallpaper\", " +
                         plugin + ", \"General\"];\n";
    if (request.picture) {
        script += "    d.writeConfig(\"Image\", " + JsStringLiteral(FileUri(request.path)) + ");\n";
        script +=
            "    d.writeConfig(\"FillMode\", " + std::to_string(FillMode(request.fit)) + ");\n";
    }
    script += "    d.writeConfig(\"Color\", " + JsStringLiteral(colour) + ");\n}\n";
    return script;
}

} // namespace

void SessionBusCloser::operator()(GDBusConnection* bus) const {
    g_dbus_connection_close_sync(bus, nullptr, nullptr); // flushes what is still queued
    g_object_unref(bus);
}

SessionBus OpenSessionBus() {
    // GIO's own lookup would launch a new bus when there is none, and no desktop is on that one.
    std::string address;
    const char* env = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (env && *env) {
        address = env;
    } else if (runtime && *runtime) {
        const std::string socket = std::string(runtime) + "/bus";
        if (g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
            gchar* escaped = g_dbus_address_escape_value(socket.c_str());
            address = std::string("unix:path=") + escaped;
            g_free(escaped);
        }
    }
    if (address.empty())
        return nullptr;
    // A connection of our own, not GIO's shared one: that one keeps the address of its first use
    // and ends the process when the bus goes away.
    return SessionBus(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
}

std::string JsStringLiteral(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
        };
        if (c == '\\' || c == '"' || c == '\'') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else if (c == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
            // U+2028 and U+2029 end a line inside a literal for older script engines.
            out += next(2) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else if (c == '<' && next(1) == '/') {
            out += "<\\"; // "</" would close a script element around the text
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

bool SetKdeWallpaper(const WallpaperRequest& request) {
    const SessionBus bus = OpenSessionBus();
    if (!bus)
        return false;
    // No auto start: the shell is running or there is no Plasma desktop.
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell", "evaluateScript",
        g_variant_new("(s)", Script(request).c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
        kTimeoutMs, nullptr, nullptr);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

} // namespace velum
