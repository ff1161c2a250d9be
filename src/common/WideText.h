#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velum {

// Windows only: the program's text is UTF-8; the system's calls take and give UTF-16.
// Invalid input comes out as U+FFFD rather than failing, so a name is shown even when broken.
std::wstring Widen(std::string_view utf8);
// The length of Widen(utf8), found without making it.
std::size_t WidenedLength(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Windows only: text of the store from an older install, in the system's ANSI code page, as
// UTF-8; text that is UTF-8 already comes back as it is.
std::string Utf8FromAnsiUnlessUtf8(std::string text);

} // namespace velum
