#include "common/WideText.h"

#include <climits>

#include <windows.h>

namespace velum {

namespace {

// The UTF-16 units the text takes, measured by the call that converts it.
int WideLength(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return 0;
    const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    return n > 0 ? n : 0;
}

std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text) {
    const int n = WideLength(codePage, flags, text);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(),
                            n);
    return out;
}

} // namespace

std::wstring Widen(std::string_view utf8) {
    return ToWide(CP_UTF8, 0, utf8);
}

std::size_t WidenedLength(std::string_view utf8) {
    return static_cast<std::size_t>(WideLength(CP_UTF8, 0, utf8));
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8FromAnsiUnlessUtf8(std::string text) {
    // The system's own check: MB_ERR_INVALID_CHARS fails on any byte sequence UTF-8 does not
    // allow (overlong forms and surrogates included).
    if (text.empty() || text.size() > INT_MAX ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                            static_cast<int>(text.size()), nullptr, 0) > 0)
        return text;
    return Narrow(ToWide(GetACP(), 0, text));
}

} // namespace velum
