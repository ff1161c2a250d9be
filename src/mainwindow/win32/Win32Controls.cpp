#include "mainwindow/win32/Win32Controls.h"

#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <iterator>

#include "common/WideText.h"

namespace velum {

// The Win32 class and styles of each kind of control, in the order of ControlKind. An option
// button starts its group, whose one tab stop it is, when it is the first of its frame.
namespace {

constexpr DWORD kFocusable = WS_TABSTOP | WS_GROUP;
constexpr struct {
    const wchar_t* cls;
    DWORD style;
} kKinds[] = {
    {L"BUTTON", BS_PUSHBUTTON | kFocusable},                                 // Button
    {L"STATIC", SS_LEFT | SS_NOPREFIX},                                      // Label
    {L"BUTTON", BS_AUTORADIOBUTTON},                                         // Option
    {L"EDIT", ES_AUTOHSCROLL | WS_BORDER | kFocusable},                      // TextBox
    {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | kFocusable}, // Combo
    {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | kFocusable},               // DriveList
    {L"LISTBOX", LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                     WS_VSCROLL | WS_BORDER | kFocusable}, // FolderList
    {L"LISTBOX", LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL |
                     WS_BORDER | kFocusable},         // List
    {L"BUTTON", BS_GROUPBOX},                         // Frame
    {L"BUTTON", BS_AUTOCHECKBOX | kFocusable},        // CheckBox
    {L"STATIC", SS_OWNERDRAW | SS_NOTIFY | WS_GROUP}, // Picture
};
static_assert(std::size(kKinds) == static_cast<std::size_t>(ControlKind::Picture) + 1);

} // namespace

Win32Class ClassOf(ControlKind kind, bool startsGroup) {
    const auto& k = kKinds[static_cast<std::size_t>(kind)];
    return {k.cls, k.style | (startsGroup ? kFocusable : 0)};
}

// A menu entry's shortcut text ("Ctrl+S", "Del") as an accelerator; false for one it cannot
// read.
bool ParseShortcut(std::string text, ACCEL& key) {
    key.fVirt = FVIRTKEY;
    for (std::size_t plus; (plus = text.find('+')) != std::string::npos && plus + 1 < text.size();
         text.erase(0, plus + 1)) {
        const std::string mod = text.substr(0, plus);
        const int flag = mod == "Ctrl"    ? FCONTROL
                         : mod == "Shift" ? FSHIFT
                         : mod == "Alt"   ? FALT
                                          : 0;
        if (!flag)
            return false;
        key.fVirt = static_cast<BYTE>(key.fVirt | flag);
    }
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
        key.key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(text[0])));
    else if (text == "Del" || text == "Ins")
        key.key = text == "Del" ? VK_DELETE : VK_INSERT;
    else
        return false;
    return true;
}

bool IsEdit(HWND w) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, static_cast<int>(std::size(cls)));
    return lstrcmpiW(cls, L"Edit") == 0;
}

std::string WindowText(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(w, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Narrow(text);
}

void PaintFolderRow(const DRAWITEMSTRUCT& item, const FolderRow& folder) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const std::size_t indent = std::min(folder.text.find_first_not_of(' '), folder.text.size());
    // Spacing in steps of the small icon, which follows the system's scale.
    const int icon = GetSystemMetrics(SM_CXSMICON), step = std::max(1, icon / 4);
    const int left = item.rcItem.left + step / 2 + static_cast<int>(indent) * step;
    SHFILEINFOW info{};
    if (SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                       SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES |
                           (folder.open ? SHGFI_OPENICON : 0))) {
        DrawIconEx(item.hDC, left,
                   item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - icon) / 2, info.hIcon,
                   icon, icon, 0, nullptr, DI_NORMAL);
        DestroyIcon(info.hIcon);
    }
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT textRect = item.rcItem;
    textRect.left = left + icon + step;
    const std::wstring name = Widen(folder.text.substr(indent));
    DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &item.rcItem);
}

void PaintPicture(HDC dc, const RECT& rect, const Picture* picture) {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (!picture || picture->width == 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0,
                  picture->width, picture->height, picture->pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

} // namespace velum
