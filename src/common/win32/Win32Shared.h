#pragma once

// What the Win32 windows of the program share: their window class and their font. Every window
// of the program is a Unicode one: W calls throughout, text converted at them (common/WideText.h).

#include <windows.h>

namespace velum {

// Registers a window class of the program once: the dialog colour, the arrow, the program's
// icon (resource 1).
inline void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, name, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    // The icon's own small image, not the large one shrunk by the system.
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

// The system's message font, as the person has set it.
inline LOGFONTW MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.lfMessageFont;
}

// A call of user32 that older Windows lack (the program runs from Windows 7), or null.
template <typename Fn> Fn User32Call(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// The DPI of the monitor a window is on, where Windows 10 can tell it; else `fallback`.
inline int WindowDpi(HWND w, int fallback) {
    static const auto get = User32Call<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = get ? get(w) : 0;
    return dpi ? static_cast<int>(dpi) : fallback;
}

// AdjustWindowRectEx for a window with a menu bar, its frame at `dpi` where Windows 10 can.
inline void AdjustWindowRectForDpi(RECT* r, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjust =
        User32Call<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(r, style, TRUE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(r, style, TRUE, exStyle);
}

} // namespace velum
