#include "about/win32/AboutWindow.h"

#include <algorithm>
#include <string>

#include "about/SystemInfo.h"
#include "common/Launch.h"
#include "common/WideText.h"
#include "common/win32/Win32Shared.h"

namespace velum {

namespace {

constexpr wchar_t kClassName[] = L"VelumAboutWindow";
constexpr int kSysInfoId = 101;

struct About {
    HWND hwnd = nullptr;
    Registry* reg = nullptr;
    Dialogs* dialogs = nullptr;
    HFONT font = nullptr;
    HFONT bold = nullptr;
};

About about;

HWND Child(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y,
           int w, int h, int id, HFONT font) {
    HWND c = CreateWindowExW(0, cls, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                             nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
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
        return DefWindowProcW(hwnd, msg, wp, lp);
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
    // Laid out at the scale of the owner's monitor from the texts' own measured sizes, so that
    // no text is cut whatever the scale and the person's message font (whose metrics are at the
    // system's DPI).
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    const int dpi = WindowDpi(owner, systemDpi);
    LOGFONTW message = MessageFont();
    message.lfHeight = MulDiv(message.lfHeight, dpi, systemDpi);
    if (about.font)
        DeleteObject(about.font);
    about.font = CreateFontIndirectW(&message);
    LOGFONTW big = message;
    big.lfWeight = FW_BOLD;
    big.lfHeight = big.lfHeight * 3 / 2;
    about.bold = CreateFontIndirectW(&big);

    const auto scaled = [dpi](int pixelsAt96) { return MulDiv(pixelsAt96, dpi, 96); };
    const auto measure = [screen](HFONT font, const std::string& text, int width) {
        HGDIOBJ old = SelectObject(screen, font);
        RECT r{0, 0, width, 0};
        const std::wstring wide = Widen(text);
        DrawTextW(screen, wide.c_str(), static_cast<int>(wide.size()), &r,
                  DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(screen, old);
        return r;
    };
    const std::string versionText = std::string("Version ") + version;
    const char* description = "Keeps collections of wallpapers and changes the desktop background "
                              "on a schedule you choose.";
    const char* disclaimer = "Warning: this program is provided as it is, without warranty of "
                             "any kind. You use it at your own risk.";
    const char* sysInfo = "&System Info...";
    const int margin = scaled(16), gap = scaled(8), icon = scaled(48);
    const int w = scaled(420), textLeft = margin + icon + scaled(16),
              textWidth = w - textLeft - margin;
    const RECT sysInfoText = measure(about.font, "System Info...", 0);
    const int buttonWidth = std::max<int>(scaled(104), sysInfoText.right + scaled(24));
    const int buttonHeight = std::max<int>(scaled(26), sysInfoText.bottom + scaled(10));
    const int disclaimerWidth = w - 2 * margin - buttonWidth - scaled(16);
    const int titleHeight = measure(about.bold, kProgramTitle, textWidth).bottom;
    const int versionHeight = measure(about.font, versionText, textWidth).bottom;
    const int descriptionHeight = measure(about.font, description, textWidth).bottom;
    const int disclaimerHeight = measure(about.font, disclaimer, disclaimerWidth).bottom;
    ReleaseDC(nullptr, screen);
    const int versionTop = margin + titleHeight + scaled(4);
    const int descriptionTop = versionTop + versionHeight + gap;
    const int rule = std::max(margin + icon, descriptionTop + descriptionHeight) + scaled(12);
    const int lower = rule + scaled(14);
    const int h = std::max(lower + disclaimerHeight, lower + 2 * buttonHeight + gap) + margin;

    RECT outer{0, 0, w, h};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&outer, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    const std::string title = std::string("About ") + kProgramTitle;
    HWND hwnd =
        CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, Widen(title).c_str(),
                        style, ownerRect.left + (ownerRect.right - ownerRect.left - ow) / 2,
                        ownerRect.top + (ownerRect.bottom - ownerRect.top - oh) / 2, ow, oh, owner,
                        nullptr, instance, nullptr);
    about.hwnd = hwnd;
    HWND picture = Child(hwnd, L"STATIC", "", SS_ICON | SS_REALSIZECONTROL, margin, margin, icon,
                         icon, 0, about.font);
    SendMessageW(picture, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                     icon, icon, LR_DEFAULTCOLOR)),
                 0);
    Child(hwnd, L"STATIC", kProgramTitle, SS_LEFT | SS_NOPREFIX, textLeft, margin, textWidth,
          titleHeight, 0, about.bold);
    Child(hwnd, L"STATIC", versionText, SS_LEFT | SS_NOPREFIX, textLeft, versionTop, textWidth,
          versionHeight, 0, about.font);
    Child(hwnd, L"STATIC", description, SS_LEFT | SS_NOPREFIX, textLeft, descriptionTop, textWidth,
          descriptionHeight, 0, about.font);
    Child(hwnd, L"STATIC", "", SS_ETCHEDHORZ, margin, rule, w - 2 * margin, 2, 0, about.font);
    Child(hwnd, L"STATIC", disclaimer, SS_LEFT | SS_NOPREFIX, margin, lower, disclaimerWidth,
          disclaimerHeight, 0, about.font);
    HWND ok = Child(hwnd, L"BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP,
                    w - margin - buttonWidth, lower, buttonWidth, buttonHeight, IDOK, about.font);
    Child(hwnd, L"BUTTON", sysInfo, BS_PUSHBUTTON | WS_TABSTOP, w - margin - buttonWidth,
          lower + buttonHeight + gap, buttonWidth, buttonHeight, kSysInfoId, about.font);
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(ok);
}

} // namespace velum
