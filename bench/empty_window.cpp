// empty_window.exe: the baseline of velumdesk.exe's first paint under Wine. A window of the same
// class setup, style, size and manifest, with no control and nothing read: what any Win32
// program pays before its first paint.
#include <windows.h>

#include "common/win32/Win32Shared.h"
#include "mainwindow/WindowLayout.h"

namespace {

LRESULT CALLBACK EmptyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    constexpr wchar_t kClass[] = L"VelumEmptyWindow";
    velum::RegisterWindowClass(instance, kClass, EmptyProc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"Velum", style, CW_USEDEFAULT,
                                CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    const int dpi = velum::WindowDpi(hwnd, 96);
    RECT outer{0, 0, MulDiv(velum::kClientWidthTwips, dpi, 96 * velum::kTwipsPerPixel),
               MulDiv(velum::kClientHeightTwips, dpi, 96 * velum::kTwipsPerPixel)};
    velum::AdjustWindowRectForDpi(&outer, style, WS_EX_CONTROLPARENT, dpi);
    SetWindowPos(hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
