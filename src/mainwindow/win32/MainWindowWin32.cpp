#include "mainwindow/win32/MainWindowWin32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <exception>

#include "common/Files.h"
#include "common/win32/Win32Shared.h"

namespace velum {

namespace {

constexpr char kClassName[] = "VelumMainWindow";

// The Win32 class and styles of each kind of control.
struct Kind {
    const char* cls;
    DWORD style;
};

Kind KindOf(const ControlLayout& c) {
    const DWORD focusable = WS_TABSTOP | WS_GROUP;
    switch (c.kind) {
    case ControlKind::Button:
        return {"BUTTON", BS_PUSHBUTTON | focusable};
    case ControlKind::Label:
        return {"STATIC", SS_LEFT | SS_NOPREFIX};
    case ControlKind::Option:
        // The first button of a group starts it and is its one tab stop; arrows move inside.
        if (c.name == "optTile" || c.name == "optAscending")
            return {"BUTTON", BS_AUTORADIOBUTTON | focusable};
        return {"BUTTON", BS_AUTORADIOBUTTON};
    case ControlKind::TextBox:
        return {"EDIT", ES_AUTOHSCROLL | WS_BORDER | focusable};
    case ControlKind::Combo:
        return {"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | focusable};
    case ControlKind::DriveList:
        return {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | focusable};
    case ControlKind::FolderList:
        return {"LISTBOX", LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                               WS_VSCROLL | WS_BORDER | focusable};
    case ControlKind::List:
        return {"LISTBOX", LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL |
                               WS_HSCROLL | WS_BORDER | focusable};
    case ControlKind::Frame:
        return {"BUTTON", BS_GROUPBOX};
    case ControlKind::CheckBox:
        return {"BUTTON", BS_AUTOCHECKBOX | focusable};
    case ControlKind::Picture:
        return {"STATIC", SS_OWNERDRAW | SS_NOTIFY | WS_GROUP};
    }
    return {"STATIC", 0};
}

bool IsEdit(HWND w) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    return lstrcmpiA(cls, "Edit") == 0;
}

std::string WindowText(HWND w) {
    const int n = GetWindowTextLengthA(w);
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    GetWindowTextA(w, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::string ListText(HWND list, int i) {
    const LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n == LB_ERR)
        return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// Fills a list fast: room for every entry at once and no drawing until the end.
void FillList(HWND list, const std::vector<std::string>& items, UINT reset, UINT add) {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, reset, 0, 0);
    if (reset == LB_RESETCONTENT) {
        std::size_t bytes = 0;
        for (const auto& s : items)
            bytes += s.size() + 1;
        SendMessageA(list, LB_INITSTORAGE, items.size(), bytes);
    }
    for (const auto& s : items)
        SendMessageA(list, add, 0, reinterpret_cast<LPARAM>(s.c_str()));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

} // namespace

MainWindowWin32::MainWindowWin32(frmWallPaper& form, HINSTANCE instance)
    : form_(form), driver_(form), instance_(instance) {
    HDC screen = GetDC(nullptr);
    scale_ = GetDeviceCaps(screen, LOGPIXELSX) / 96.0;
    ReleaseDC(nullptr, screen);

    RegisterWindowClass(instance_, kClassName, WindowProc);
    // Fixed size: the menu bar and the client area of the layout.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    hwnd_ =
        CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, form_.Caption.c_str(), style,
                        CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, this);

    const LOGFONTA message = MessageFont();
    font_ = CreateFontIndirectA(&message);

    CreateMenus();
    CreateControls();

    RECT outer{0, 0, px(kClientWidthTwips), px(kClientHeightTwips)};
    AdjustWindowRectEx(&outer, style, TRUE, WS_EX_CONTROLPARENT);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int w = outer.right - outer.left, h = outer.bottom - outer.top;
    // Centred by its outer frame on the work area.
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, w, h, SWP_NOZORDER);

    formLoadPicture_ = form_.LoadPicture;
    form_.LoadPicture = [this](const std::string& path) { return LoadPicture(path); };
    form_.MousePointerChanged = [this](MousePointer pointer) {
        waitCursor_ = pointer == MousePointer::Hourglass;
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(waitCursor_ ? 32514 : 32512)));
    };
    driver_.Sync = [this] { SyncFromForm(); };
    driver_.Quit = [this] {
        KillTimer(hwnd_, kTimerId);
        DestroyWindow(hwnd_);
    };
    driver_.CancelModal = [this] { ReleaseCapture(); };

    driver_.Run([this] { form_.Form_Load(); });
}

MainWindowWin32::~MainWindowWin32() {
    form_.MousePointerChanged = nullptr;
    form_.LoadPicture = formLoadPicture_;
    if (IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
    if (font_)
        DeleteObject(font_);
}

int MainWindowWin32::px(int twips) const {
    return static_cast<int>(std::lround(twips * scale_ / kTwipsPerPixel));
}

HWND MainWindowWin32::control(const std::string& name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

RECT MainWindowWin32::controlRect(const std::string& name) const {
    RECT r{};
    if (HWND w = control(name)) {
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

void MainWindowWin32::CreateControls() {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                               nullptr, instance_, nullptr);
    // Frames and labels first, below the controls they surround; then the controls in tab
    // order, which is the order of creation.
    std::vector<const ControlLayout*> order;
    for (const auto& c : WindowControls())
        if (c.kind == ControlKind::Frame || c.kind == ControlKind::Label)
            order.push_back(&c);
    for (const auto& c : WindowControls())
        if (c.kind != ControlKind::Frame && c.kind != ControlKind::Label)
            order.push_back(&c);
    for (const ControlLayout* c : order) {
        const Kind kind = KindOf(*c);
        const int id = kFirstControlId + static_cast<int>(ids_.size());
        // Combo boxes are as tall as their open list; the closed box keeps its own height.
        const int height = c->kind == ControlKind::Combo || c->kind == ControlKind::DriveList
                               ? px(c->height) + px(2400)
                               : px(c->height);
        HWND w =
            CreateWindowExA(0, kind.cls, c->caption.c_str(), WS_CHILD | WS_VISIBLE | kind.style,
                            px(c->left), px(c->top), px(c->width), height, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        controls_[c->name] = w;
        ids_.push_back(c->name);
        if (c->kind == ControlKind::Combo || c->kind == ControlKind::DriveList)
            SendMessageA(w, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), px(c->height) - 6);
        const std::string& tip = c->tip;
        if (!tip.empty() && c->kind != ControlKind::Label) {
            TOOLINFOA info{};
            info.cbSize = sizeof info;
            // Mouse messages reach the tooltip from PreTranslate: a subclassed control handles
            // every message far slower, which a list of 20,000 entries would feel.
            info.uFlags = TTF_IDISHWND;
            info.hwnd = hwnd_;
            info.uId = reinterpret_cast<UINT_PTR>(w);
            info.lpszText = const_cast<char*>(tip.c_str());
            SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(control("cmbLastBmps"), &info))
        historyEdit_ = info.hwndItem;
    // The preview lies beneath every other control, so a picture at its own size does too.
    SetWindowPos(control("imgThumb"), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(control("Dir1"), LB_SETITEMHEIGHT, 0, std::max(18, px(240)));
}

void MainWindowWin32::CreateMenus() {
    HMENU bar = CreateMenu();
    std::vector<ACCEL> keys;
    for (const auto& menu : WindowMenus()) {
        HMENU popup = CreatePopupMenu();
        for (const auto& entry : menu.entries) {
            if (entry.name.empty()) {
                AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const int id = kFirstMenuId + static_cast<int>(menuIds_.size());
            menuIds_.push_back(entry.name);
            const std::string text =
                entry.caption + (entry.shortcut.empty() ? "" : "\t" + entry.shortcut);
            AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(id), text.c_str());
            if (entry.shortcut == "Ctrl+S")
                keys.push_back({FVIRTKEY | FCONTROL, 'S', static_cast<WORD>(id)});
        }
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menu.caption.c_str());
    }
    // Del follows the focus (DeleteKey), so it has an id of its own.
    keys.push_back({FVIRTKEY, VK_DELETE, kDeleteKeyId});
    accelerators_ = CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
    SetMenu(hwnd_, bar);
}

bool MainWindowWin32::PreTranslate(MSG& msg) {
    if (!IsWindow(hwnd_))
        return false;
    const bool ours = msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd);
    if (!ours)
        return false;
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST)
        SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    // A right press in the file list starts a drag of its selected bitmaps.
    if (msg.message == WM_RBUTTONDOWN && msg.hwnd == control("filWinBmps")) {
        POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ClientToScreen(msg.hwnd, &at);
        DragFiles(at);
        return true;
    }
    // A double-click on the history's text applies that bitmap.
    if (msg.message == WM_LBUTTONDBLCLK && msg.hwnd == historyEdit_ && historyEdit_) {
        driver_.Run([this] { form_.cmbLastBmps_DblClick(); });
        return false; // the edit still selects the word under the pointer
    }
    // In a text field Del deletes text, as everywhere else: no accelerator then.
    const bool delInEdit = msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE && IsEdit(msg.hwnd);
    if (!delInEdit && TranslateAcceleratorA(hwnd_, accelerators_, &msg))
        return true;
    // Enter in the collection's name does not press a button; leaving the box takes the name.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && IsEdit(msg.hwnd) &&
        GetParent(msg.hwnd) == control("cmbCollection"))
        return true;
    return IsDialogMessageA(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK MainWindowWin32::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindowWin32* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<MainWindowWin32*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wp, lp);
    return self->Handle(msg, wp, lp);
}

LRESULT MainWindowWin32::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id == kDeleteKeyId) {
            DeleteKey();
        } else if (id >= kFirstMenuId && id < kFirstMenuId + static_cast<int>(menuIds_.size())) {
            OnMenu(menuIds_[static_cast<std::size_t>(id - kFirstMenuId)]);
        } else if (!syncing_) {
            OnCommand(id, HIWORD(wp), reinterpret_cast<HWND>(lp));
        }
        return 0;
    }
    case WM_TIMER:
        if (wp == kTimerId)
            driver_.Tick();
        return 0;
    case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_SETCURSOR:
        if (waitCursor_) {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514))); // IDC_WAIT
            return TRUE;
        }
        break;
    case WM_CLOSE:
        driver_.End(); // the window goes once no handler runs
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wp)
            EndSession();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

void MainWindowWin32::OnMenu(const std::string& name) {
    if (name == "mnuExit") {
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    } else if (name == "mnuAbout") {
        if (onAbout)
            onAbout();
    } else if (name == "mnuDelete") {
        driver_.Run([this] { form_.mnuDelete_Click(); });
    } else {
        static const std::map<std::string, void (frmWallPaper::*)()> handlers = {
            {"mnuApply", &frmWallPaper::mnuApply_Click},
            {"mnuNext", &frmWallPaper::mnuNext_Click},
            {"mnuSave", &frmWallPaper::mnuSave_Click},
            {"mnuAdd", &frmWallPaper::mnuAdd_Click},
            {"mnuAddAll", &frmWallPaper::mnuAddAll_Click},
            {"mnuRemove", &frmWallPaper::mnuRemove_Click},
            {"mnuRemoveAll", &frmWallPaper::mnuRemoveAll_Click}};
        auto it = handlers.find(name);
        if (it != handlers.end())
            driver_.Run([this, h = it->second] { (form_.*h)(); });
    }
}

void MainWindowWin32::OnCommand(int id, int code, HWND from) {
    const std::size_t index = static_cast<std::size_t>(id - kFirstControlId);
    if (id < kFirstControlId || index >= ids_.size())
        return;
    const std::string& name = ids_[index];
    static const std::map<std::string, void (frmWallPaper::*)()> buttons = {
        {"cmdApply", &frmWallPaper::cmdApply_click},
        {"cmdUpdate", &frmWallPaper::cmdUpdate_click},
        {"cmdAdd", &frmWallPaper::cmdAdd_click},
        {"cmdAddAll", &frmWallPaper::cmdAddAll_click},
        {"cmdRemove", &frmWallPaper::cmdRemove_click},
        {"cmdRemoveAll", &frmWallPaper::cmdRemoveAll_click}};
    if (auto b = buttons.find(name); b != buttons.end()) {
        if (code == BN_CLICKED)
            driver_.Run([this, h = b->second] { (form_.*h)(); });
        return;
    }
    using Option = std::pair<OptionGroup frmWallPaper::*, OptionButton frmWallPaper::*>;
    static const std::map<std::string, Option> options = {
        {"optTile", {&frmWallPaper::styleGroup, &frmWallPaper::optTile}},
        {"optCenter", {&frmWallPaper::styleGroup, &frmWallPaper::optCenter}},
        {"optNone", {&frmWallPaper::styleGroup, &frmWallPaper::optNone}},
        {"optAscending", {&frmWallPaper::orderGroup, &frmWallPaper::optAscending}},
        {"optRandom", {&frmWallPaper::orderGroup, &frmWallPaper::optRandom}},
        {"optDescending", {&frmWallPaper::orderGroup, &frmWallPaper::optDescending}}};
    if (auto o = options.find(name); o != options.end()) {
        if (code == BN_CLICKED)
            driver_.Run([this, o] { (form_.*o->second.first).Select(form_.*o->second.second); });
        return;
    }
    if (name == "chkAutoView" && code == BN_CLICKED) {
        const bool on = SendMessageA(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
        driver_.Run([this, on] { form_.chkAutoView.SetValue(on ? 1 : 0); });
    } else if (name == "txtDays" || name == "txtHours" || name == "txtMinutes") {
        if (code == EN_CHANGE) {
            TextBox& box = name == "txtDays"    ? form_.txtDays
                           : name == "txtHours" ? form_.txtHours
                                                : form_.txtMinutes;
            driver_.Run([&box, text = WindowText(from)] { box.SetText(text); });
        }
    } else if (name == "filWinBmps" || name == "lstRotateBmps") {
        ListBox& box =
            name == "filWinBmps" ? static_cast<ListBox&>(form_.filWinBmps) : form_.lstRotateBmps;
        if (code == LBN_SELCHANGE)
            PushSelection(from, box);
        else if (code == LBN_DBLCLK)
            driver_.Run([this, files = name == "filWinBmps"] {
                if (files)
                    form_.filWinBmps_DblClick();
                else
                    form_.lstRotateBmps_DblClick();
            });
    } else if (name == "Drive1" && code == CBN_SELCHANGE) {
        const auto i = static_cast<std::size_t>(SendMessageA(from, CB_GETCURSEL, 0, 0));
        if (i < form_.Drive1.volumes.size())
            driver_.Run([this, v = form_.Drive1.volumes[i]] { form_.Drive1.SetDrive(v); });
    } else if (name == "Dir1" && code == LBN_DBLCLK) {
        const auto i = static_cast<std::size_t>(SendMessageA(from, LB_GETCURSEL, 0, 0));
        if (i < folders_.size())
            driver_.Run([this, path = folders_[i].first] {
                try {
                    form_.Dir1.SetPath(path);
                } catch (const std::exception&) {
                    // An unreadable folder leaves the list where it was.
                }
            });
    } else if (name == "cmbCollection") {
        if (code == CBN_SELCHANGE) {
            const int i = static_cast<int>(SendMessageA(from, CB_GETCURSEL, 0, 0));
            if (i >= 0)
                driver_.Run([this, i] { form_.cmbCollection.SetListIndex(i); });
        } else if (code == CBN_EDITCHANGE) {
            driver_.Run([this, text = WindowText(from)] { form_.cmbCollection.SetText(text); });
        } else if (code == CBN_KILLFOCUS) {
            // Only a move to another control of this window, not the drop-down, a menu or
            // another program.
            HWND now = GetFocus();
            const bool moved = now && IsChild(hwnd_, now) && now != from && !IsChild(from, now);
            driver_.SelectorFocusMoved(moved);
        }
    } else if (name == "cmbLastBmps") {
        if (code == CBN_SELCHANGE) {
            const int i = static_cast<int>(SendMessageA(from, CB_GETCURSEL, 0, 0));
            driver_.Run([this, i] {
                if (i >= 0 && i < form_.cmbLastBmps.ListCount())
                    form_.cmbLastBmps.SetText(form_.cmbLastBmps.List(i));
                form_.cmbLastBmps_Click();
            });
        } else if (code == CBN_EDITCHANGE) {
            driver_.Run([this, text = WindowText(from)] { form_.cmbLastBmps.SetText(text); });
        }
    } else if (name == "imgThumb" && code == STN_DBLCLK) {
        driver_.Run([this] { form_.imgThumb_DblClick(); });
    }
}

void MainWindowWin32::DeleteKey() {
    // Del in the rotation list removes the bitmaps selected there; elsewhere (text fields never
    // reach here) it deletes the collection, as the menu says.
    if (GetFocus() == control("lstRotateBmps"))
        driver_.Run([this] { form_.cmdRemove_click(); });
    else
        driver_.Run([this] { form_.mnuDelete_Click(); });
}

void MainWindowWin32::PushSelection(HWND list, ListBox& box) {
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (count != box.ListCount())
        return;
    std::vector<bool> chosen(static_cast<std::size_t>(count), false);
    const int selected = static_cast<int>(SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    if (selected > 0) {
        std::vector<int> items(static_cast<std::size_t>(selected));
        SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(items.data()));
        for (int i : items)
            if (i >= 0 && i < count)
                chosen[static_cast<std::size_t>(i)] = true;
    }
    const int current = static_cast<int>(SendMessageA(list, LB_GETCARETINDEX, 0, 0));
    shown_[list].selected = chosen; // what the control shows now, as the person left it
    driver_.Run([&] {
        box.SetSelection([&](int i) { return chosen[static_cast<std::size_t>(i)]; }, current);
    });
}

void MainWindowWin32::DragFiles(POINT start) {
    // The drag's own loop runs inside a handler, so a tick or an end waits until the drop. It
    // starts once the pointer leaves the system's drag rectangle, as DragDetect has it.
    HWND files = control("filWinBmps");
    driver_.Run([this, files, start] {
        RECT still{start.x - GetSystemMetrics(SM_CXDRAG), start.y - GetSystemMetrics(SM_CYDRAG),
                   start.x + GetSystemMetrics(SM_CXDRAG) + 1,
                   start.y + GetSystemMetrics(SM_CYDRAG) + 1};
        SetCapture(files);
        bool dragging = false, dropped = false;
        MSG msg;
        while (GetCapture() == files && GetMessageA(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_MOUSEMOVE || msg.message == WM_RBUTTONUP) {
                POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
                ClientToScreen(msg.hwnd, &at);
                if (!dragging && !PtInRect(&still, at)) {
                    dragging = true;
                    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // carrying bitmaps
                }
                if (msg.message == WM_RBUTTONUP) {
                    dropped = dragging && WindowFromPoint(at) == control("lstRotateBmps");
                    break;
                }
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (GetCapture() == files)
            ReleaseCapture();
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
        if (dropped) // anywhere else the drop is refused
            form_.lstRotateBmps_DragDrop();
    });
}

void MainWindowWin32::EndSession() {
    // Windows may end the process as soon as this returns: the exit runs now, even below a
    // question still on the screen; the view's dialogs ask nothing from here on.
    if (onSessionEnding)
        onSessionEnding();
    driver_.EndNow();
}

void MainWindowWin32::SyncCombo(HWND combo, const ItemList& list, const std::string& text) {
    Shown& shown = shown_[combo];
    if (shown.items != list.items()) {
        FillList(combo, list.items(), CB_RESETCONTENT, CB_ADDSTRING);
        shown.items = list.items();
    }
    if (SendMessageA(combo, CB_GETCURSEL, 0, 0) != list.ListIndex())
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(list.ListIndex()), 0);
    // Only a different text is put in: the caret and selection of the person typing stay.
    if (WindowText(combo) != text)
        SetWindowTextA(combo, text.c_str());
}

void MainWindowWin32::SyncList(HWND list, const ListBox& box) {
    Shown& shown = shown_[list];
    if (shown.items != box.items()) {
        FillList(list, box.items(), LB_RESETCONTENT, LB_ADDSTRING);
        shown.items = box.items();
        shown.selected.assign(box.items().size(), false);
    }
    std::vector<bool> want(static_cast<std::size_t>(box.ListCount()));
    for (int i = 0; i < box.ListCount(); ++i)
        want[static_cast<std::size_t>(i)] = box.Selected(i);
    if (want != shown.selected) {
        for (std::size_t i = 0; i < want.size(); ++i)
            if (want[i] != shown.selected[i])
                SendMessageA(list, LB_SETSEL, want[i] ? TRUE : FALSE, static_cast<LPARAM>(i));
        shown.selected = want;
    }
    const int current = box.ListIndex() < box.ListCount() ? box.ListIndex() : -1;
    if (current >= 0 && SendMessageA(list, LB_GETCARETINDEX, 0, 0) != current)
        SendMessageA(list, LB_SETCARETINDEX, static_cast<WPARAM>(current), FALSE);
    EnableWindow(list, box.enabled ? TRUE : FALSE);
}

void MainWindowWin32::SyncFromForm() {
    if (!IsWindow(hwnd_))
        return;
    syncing_ = true;
    if (WindowText(hwnd_) != form_.Caption)
        SetWindowTextA(hwnd_, form_.Caption.c_str());
    SyncCombo(control("cmbCollection"), form_.cmbCollection, form_.cmbCollection.Text());
    SyncCombo(control("cmbLastBmps"), form_.cmbLastBmps, form_.cmbLastBmps.Text());
    const std::pair<const char*, const TextBox*> texts[] = {{"txtDays", &form_.txtDays},
                                                            {"txtHours", &form_.txtHours},
                                                            {"txtMinutes", &form_.txtMinutes}};
    for (const auto& [name, box] : texts)
        if (WindowText(control(name)) != box->Text())
            SetWindowTextA(control(name), box->Text().c_str());
    const std::pair<const char*, const OptionButton*> options[] = {
        {"optTile", &form_.optTile},     {"optCenter", &form_.optCenter},
        {"optNone", &form_.optNone},     {"optAscending", &form_.optAscending},
        {"optRandom", &form_.optRandom}, {"optDescending", &form_.optDescending}};
    for (const auto& [name, option] : options)
        SendMessageA(control(name), BM_SETCHECK, option->Value() ? BST_CHECKED : BST_UNCHECKED, 0);
    const int check = form_.chkAutoView.Value();
    SendMessageA(control("chkAutoView"), BM_SETCHECK,
                 check == 1   ? BST_CHECKED
                 : check == 2 ? BST_INDETERMINATE
                              : BST_UNCHECKED,
                 0);
    HWND drives = control("Drive1");
    if (shown_[drives].items != form_.Drive1.volumes) {
        FillList(drives, form_.Drive1.volumes, CB_RESETCONTENT, CB_ADDSTRING);
        shown_[drives].items = form_.Drive1.volumes;
    }
    const auto& volumes = form_.Drive1.volumes;
    const auto found = std::find(volumes.begin(), volumes.end(), form_.Drive1.Drive());
    SendMessageA(drives, CB_SETCURSEL,
                 found == volumes.end() ? static_cast<WPARAM>(-1)
                                        : static_cast<WPARAM>(found - volumes.begin()),
                 0);
    SyncFolders();
    SyncList(control("filWinBmps"), form_.filWinBmps);
    SyncList(control("lstRotateBmps"), form_.lstRotateBmps);
    SyncPreview();
    syncing_ = false;

    if (form_.TimerEnabled && !timerOn_ && !driver_.Ended()) {
        SetTimer(hwnd_, kTimerId, frmWallPaper::kTimerIntervalMs, nullptr);
        timerOn_ = true;
    } else if ((!form_.TimerEnabled || driver_.Ended()) && timerOn_) {
        KillTimer(hwnd_, kTimerId);
        timerOn_ = false;
    }
}

void MainWindowWin32::SyncFolders() {
    // The folder's ancestors from the drive's root, each one step further in, then its
    // subfolders; the folder shown is the one highlighted.
    std::vector<std::pair<std::string, bool>> entries;
    std::vector<std::string> texts;
    const std::string& path = form_.Dir1.Path();
    const char sep = PathSeparator();
    if (!path.empty()) {
        const std::size_t first = path.find(sep);
        std::size_t pos = first == std::string::npos ? path.size() : first + 1;
        entries.push_back({path.substr(0, pos), false});
        texts.push_back(path.substr(0, pos));
        while (pos < path.size()) {
            std::size_t end = path.find(sep, pos);
            if (end == std::string::npos)
                end = path.size();
            if (end > pos) {
                texts.push_back(std::string(2 * entries.size(), ' ') + path.substr(pos, end - pos));
                entries.push_back({path.substr(0, end), false});
            }
            pos = end + 1;
        }
        entries.back().second = true;
        const std::string indent(2 * entries.size(), ' ');
        for (const auto& name : form_.Dir1.subfolders) {
            entries.push_back({JoinPath(path, name), false});
            texts.push_back(indent + name);
        }
    }
    HWND list = control("Dir1");
    if (entries != folders_) {
        folders_ = entries;
        FillList(list, texts, LB_RESETCONTENT, LB_ADDSTRING);
    }
    for (std::size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].second && SendMessageA(list, LB_GETCURSEL, 0, 0) != static_cast<LRESULT>(i))
            SendMessageA(list, LB_SETCURSEL, i, 0);
}

void MainWindowWin32::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.hwndItem == control("imgThumb")) {
        PaintPreview(item.hDC, item.rcItem);
        return;
    }
    if (item.hwndItem != control("Dir1") || item.itemID == static_cast<UINT>(-1))
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const std::string text = ListText(item.hwndItem, static_cast<int>(item.itemID));
    const std::size_t indent = text.find_first_not_of(' ');
    const int left =
        item.rcItem.left + 2 + static_cast<int>(indent == std::string::npos ? 0 : indent) * 4;
    const int icon = GetSystemMetrics(SM_CXSMICON);
    // The folders above and the folder shown are open, its subfolders closed.
    const bool open =
        item.itemID < folders_.size() &&
        (folders_[item.itemID].second || std::any_of(folders_.begin() + item.itemID, folders_.end(),
                                                     [](const auto& f) { return f.second; }));
    SHFILEINFOA info{};
    if (SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                       SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES |
                           (open ? SHGFI_OPENICON : 0))) {
        DrawIconEx(item.hDC, left,
                   item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - icon) / 2, info.hIcon,
                   icon, icon, 0, nullptr, DI_NORMAL);
        DestroyIcon(info.hIcon);
    }
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT textRect = item.rcItem;
    textRect.left = left + icon + 4;
    const std::string name = indent == std::string::npos ? text : text.substr(indent);
    DrawTextA(item.hDC, name.c_str(), static_cast<int>(name.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &item.rcItem);
}

bool MainWindowWin32::LoadPicture(const std::string& path) {
    std::optional<Picture> picture = DecodeBitmapFile(path);
    if (!picture)
        return false; // refused: the last picture stays, never a half-read one
    cachedPath_ = path;
    cached_ = std::move(*picture);
    return true;
}

void MainWindowWin32::SyncPreview() {
    const ImageBox& box = form_.imgThumb;
    if (!box.picture.empty() && box.picture != cachedPath_)
        LoadPicture(box.picture);
    const bool shown = !box.picture.empty() && box.picture == cachedPath_;
    int width = px(box.width), height = px(box.height);
    if (shown && !box.stretch) {
        width = cached_.width;
        height = cached_.height;
    }
    const RECT now = controlRect("imgThumb");
    if (now.right - now.left != width || now.bottom - now.top != height)
        SetWindowPos(control("imgThumb"), HWND_BOTTOM, px(WindowControl("imgThumb").left),
                     px(WindowControl("imgThumb").top), width, height, SWP_NOACTIVATE);
    InvalidateRect(control("imgThumb"), nullptr, TRUE);
}

void MainWindowWin32::PaintPreview(HDC dc, const RECT& rect) {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    const ImageBox& box = form_.imgThumb;
    if (box.picture.empty() || box.picture != cachedPath_ || cached_.width == 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cached_.width;
    info.bmiHeader.biHeight = -cached_.height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0,
                  cached_.width, cached_.height, cached_.pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

} // namespace velum
