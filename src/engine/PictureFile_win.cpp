// Windows: bitmaps through BitmapFile at natural size; photos and scaling are not drawn yet.
#include "engine/PictureFile.h"

#include <new>

namespace velum {

struct PictureFile::State {
    std::optional<BitmapFile> bitmap;
};

std::optional<PictureFile> PictureFile::Inspect(PictureFormat format,
                                                std::shared_ptr<State> state) {
    if (format != PictureFormat::Bitmap || !state->bitmap)
        return std::nullopt;
    const int w = state->bitmap->width(), h = state->bitmap->height();
    return PictureFile(format, w, h, std::move(state));
}

std::optional<PictureFile> PictureFile::FromBytes(PictureFormat format, std::string_view bytes) {
    auto state = std::make_shared<State>();
    if (format == PictureFormat::Bitmap)
        state->bitmap = BitmapFile::FromBytes(bytes);
    return Inspect(format, std::move(state));
}

std::optional<PictureFile> PictureFile::Open(const std::string& path) {
    const PictureFormat format = FormatOfName(path);
    auto state = std::make_shared<State>();
    if (format == PictureFormat::Bitmap)
        state->bitmap = BitmapFile::Open(path);
    return Inspect(format, std::move(state));
}

bool PictureFile::Decodes() const {
    return format_ == PictureFormat::Bitmap;
}

bool PictureFile::Draw(int scaledW, int scaledH, int x, int y, int w, int h, std::uint32_t* out,
                       std::size_t stride, std::uint32_t) const {
    if (scaledW != width_ || scaledH != height_ || !state_->bitmap)
        return false;
    return state_->bitmap->Decode(x, y, w, h, out, stride);
}

} // namespace velum
