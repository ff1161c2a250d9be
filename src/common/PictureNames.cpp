#include "common/PictureNames.h"

#include <string>

namespace velum {

PictureFormat FormatOfName(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || path.find_first_of("/\\", dot) != std::string_view::npos ||
        path.size() - dot > 5)
        return PictureFormat::Unknown;
    // ASCII letters folded by hand: a folder of thousands of names is listed through here.
    std::string ext(path.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    if (ext == "bmp")
        return PictureFormat::Bitmap;
    if (ext == "jpg" || ext == "jpeg")
        return PictureFormat::Jpeg;
    if (ext == "png")
        return PictureFormat::Png;
    return PictureFormat::Unknown;
}

PictureFormat FormatToRead(std::string_view path) {
    const PictureFormat format = FormatOfName(path);
    return format == PictureFormat::Unknown ? PictureFormat::Bitmap : format;
}

} // namespace velum
