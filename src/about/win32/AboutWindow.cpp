#include "about/win32/AboutWindow.h"

#include <string>

#include "about/SystemInfo.h"
#include "common/Launch.h"
#include "common/win32/Win32Shared.h"

namespace velum {

namespace {

constexpr char kClassName[] = "VelumAboutWindow";
constexpr int kSysInfoId = 101;

struct About {
    HWND hwnd = nullptr;
    Registry* reg = nullptr;
    Dialogs* dialogs = nullptr;
    HFONT font = nullptr;
    HFONT bold = nullptr;
};

About about;

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
           int id, HFONT font) {
    HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                             nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return c;
}

LRESULT CALLBACK AboutProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)
            DestroyWindow(hwnd);
        else if (LOWORD(wp) == kSysInfoId && about.reg)
            StartSysInfo(*about.reg, *about.dialogs, StartProgram);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        if (about.bold)
            DeleteObject(about.bold);
        about.bold = nullptr;
        about.hwnd = nullptr;
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

} // namespace

HWND OpenAboutWindow() {
    return about.hwnd;
}

void ShowAboutWindow(HWND owner, HINSTANCE instance, Registry& reg, Dialogs& dialogs,
                     const char* version) {
    if (about.hwnd) {
        SetForegroundWindow(about.hwnd);
        return;
    }
    RegisterWindowClass(instance, kClassName, AboutProc);
    about.reg = &reg;
    about.dialogs = &dialogs;
    const LOGFONTA message = MessageFont();
    if (!about.font)
        about.font = CreateFontIndirectA(&message);
    LOGFONTA big = message;
    big.lfWeight = FW_BOLD;
    big.lfHeight = big.lfHeight * 3 / 2;
    about.bold = CreateFontIndirectA(&big);

    const int w = 420, h = 230;
    RECT outer{0, 0, w, h};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&outer, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    const std::string title = std::string("About ") + kProgramTitle;
    HWND hwnd =
        CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, title.c_str(), style,
                        ownerRect.left + (ownerRect.right - ownerRect.left - ow) / 2,
                        ownerRect.top + (ownerRect.bottom - ownerRect.top - oh) / 2, ow, oh, owner,
                        nullptr, instance, nullptr);
    about.hwnd = hwnd;
    HWND icon = Child(hwnd, "STATIC", "", SS_ICON, 16, 16, 48, 48, 0, about.font);
    SendMessageA(icon, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(1))), 0);
    Child(hwnd, "STATIC", kProgramTitle, SS_LEFT | SS_NOPREFIX, 80, 16, 320, 28, 0, about.bold);
    Child(hwnd, "STATIC", (std::string("Version ") + version).c_str(), SS_LEFT | SS_NOPREFIX, 80,
          48, 320, 18, 0, about.font);
    Child(hwnd, "STATIC",
          "Keeps collections of wallpapers and changes the desktop background on a schedule "
          "you choose.",
          SS_LEFT | SS_NOPREFIX, 80, 70, 320, 40, 0, about.font);
    Child(hwnd, "STATIC", "", SS_ETCHEDHORZ, 16, 122, w - 32, 2, 0, about.font);
    Child(hwnd, "STATIC",
          "Warning: this program is provided as it is, without warranty of any kind. You use "
          "it at your own risk.",
          SS_LEFT | SS_NOPREFIX, 16, 136, 270, 60, 0, about.font);
    HWND ok = Child(hwnd, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, w - 120, 136,
                    104, 26, IDOK, about.font);
    Child(hwnd, "BUTTON", "&System Info...", BS_PUSHBUTTON | WS_TABSTOP, w - 120, 170, 104, 26,
          kSysInfoId, about.font);
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(ok);
}

} // namespace velum
