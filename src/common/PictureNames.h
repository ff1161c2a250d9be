#pragma once

#include <string_view>

namespace velum {

enum class PictureFormat { Unknown, Bitmap, Jpeg, Png };

// By the name's extension, letter case ignored (cameras write .JPG): .bmp; .jpg and .jpeg; .png.
PictureFormat FormatOfName(std::string_view path);

// The format a file is read in: its name's, and a bitmap's for a name of none, as velum.cfg from
// before photos may name a bitmap in any way.
PictureFormat FormatToRead(std::string_view path);

} // namespace velum
