#include "engine/Desktop.h"

#include <windows.h>

namespace velum {

namespace {

// The system call: stores the text in the user's profile and tells every top-level window.
// The style comes from the profile's TileWallpaper, written before the call.
class WinDesktop final : public Desktop {
  public:
    DesktopResult SetDeskWallpaper(const std::string& text) override {
        BOOL done = SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(text.c_str()),
                                          SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
        return done ? DesktopResult::Done : DesktopResult::BadPicture;
    }
};

} // namespace

std::unique_ptr<Desktop> CreatePlatformDesktop(Registry&) {
    return std::make_unique<WinDesktop>();
}

} // namespace velum
