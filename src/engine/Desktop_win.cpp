#include "engine/Desktop.h"

#include <istream>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/WideText.h"
#include "engine/PictureFile.h"

#include <windows.h>

namespace velum {

namespace {

// The system call: stores the text in the user's profile and tells every top-level window.
// The style comes from the profile's WallpaperStyle and TileWallpaper, written before the call.
class WinDesktop final : public Desktop {
  public:
    DesktopResult SetDeskWallpaper(const std::string& text) override {
        // A file that cannot be opened, or a device or pipe in its place, is refused before the
        // call, which would otherwise record it in the profile.
        if (text != kNoWallpaper && !Readable(text))
            return DesktopResult::BadPicture;
        // Windows shows what it can of a photo cut short; one that does not decode to its end
        // is refused here, as Windows refuses a broken bitmap itself.
        if (text != kNoWallpaper && FormatToRead(text) != PictureFormat::Bitmap && !Decodes(text))
            return DesktopResult::BadPicture;
        // Current Windows removes the wallpaper for an empty text; "(None)" may set nothing.
        std::wstring passed = text == kNoWallpaper ? std::wstring() : Widen(text);
        if (SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, passed.data(),
                                  SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
            return DesktopResult::Done;
        const DWORD error = GetLastError();
        // A bitmap Windows cannot read is passed over silently, as everywhere; a refusal of one
        // our own decoder reads, or of the removal, is the desktop's, and is told.
        if (text != kNoWallpaper && !Decodes(text))
            return DesktopResult::BadPicture;
        failure_ = "Windows refused the wallpaper: " + SystemErrorText(static_cast<int>(error));
        return DesktopResult::NoDesktop;
    }
    std::string failure() const override { return failure_; }

  private:
    static bool Decodes(const std::string& path) {
        const std::optional<PictureFile> picture = PictureFile::Open(path);
        return picture && picture->Decodes();
    }
    static bool Readable(const std::string& path) {
        try {
            return OpenForReading(path) != nullptr;
        } catch (const IoFailure&) {
            return false;
        }
    }
    std::string failure_;
};

} // namespace

std::unique_ptr<Desktop> CreatePlatformDesktop(Registry&) {
    return std::make_unique<WinDesktop>();
}

} // namespace velum
