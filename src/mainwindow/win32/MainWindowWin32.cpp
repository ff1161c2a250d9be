#include "mainwindow/win32/MainWindowWin32.h"

#include <commctrl.h>
#include <objbase.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "common/WideText.h"
#include "common/win32/Win32Shared.h"
#include "mainwindow/win32/Win32Controls.h"

namespace velum {

namespace {

constexpr wchar_t kClassName[] = L"VelumMainWindow";

} // namespace

MainWindowWin32::MainWindowWin32(frmWallPaper& form, HINSTANCE instance)
    : form_(form), driver_(form), instance_(instance) {
    // The shell's folder icons want COM on the thread that asks for them.
    comStarted_ =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    HDC screen = GetDC(nullptr);
    systemDpi_ = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);

    RegisterWindowClass(instance_, kClassName, WindowProc);
    // Fixed size: the menu bar and the client area of the layout.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    hwnd_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Widen(form_.Caption).c_str(), style,
                        CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, this);

    // Where the person started it: the monitor under the pointer, at that monitor's scale.
    POINT pointer{};
    GetCursorPos(&pointer);
    MONITORINFO monitor{sizeof monitor, {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &monitor);
    SetWindowPos(hwnd_, nullptr, monitor.rcWork.left, monitor.rcWork.top, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    const int dpi = WindowDpi(hwnd_, systemDpi_);
    scale_ = dpi / 96.0;
    MakeFont(dpi);

    CreateMenus();
    CreateControls();
    // The collection's name has the focus when the window first comes up, as in a dialog box:
    // the text of its combo box, where the keys go.
    HWND first = control(WindowControls().front().name);
    HWND text = FindWindowExW(first, nullptr, L"Edit", nullptr);
    lastFocus_ = text ? text : first;

    RECT outer{0, 0, px(kClientWidthTwips), px(kClientHeightTwips)};
    AdjustWindowRectForDpi(&outer, style, WS_EX_CONTROLPARENT, dpi);
    const RECT& work = monitor.rcWork;
    const int w = outer.right - outer.left, h = outer.bottom - outer.top;
    // Centred by its outer frame on the work area.
    SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, w, h, SWP_NOZORDER);

    formLoadPicture_ = form_.LoadPicture;
    form_.LoadPicture = [this](const std::string& path) { return LoadPicture(path); };
    form_.MousePointerChanged = [this](MousePointer pointer) {
        waitCursor_ = pointer == MousePointer::Hourglass;
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(waitCursor_ ? 32514 : 32512)));
    };
    driver_.Sync = [this] { SyncFromForm(); };
    driver_.Quit = [this] {
        KillTimer(hwnd_, kTimerId);
        DestroyWindow(hwnd_);
    };
    driver_.CancelModal = [this] { ReleaseCapture(); };
    driver_.SwitchTimer = [this](bool on) {
        on ? void(SetTimer(hwnd_, kTimerId, frmWallPaper::kTimerIntervalMs, nullptr))
           : void(KillTimer(hwnd_, kTimerId));
    };
    // Posted, so that the close comes from the message loop as the title bar's would.
    driver_.Close = [this] { PostMessageW(hwnd_, WM_CLOSE, 0, 0); };
    driver_.About = [this] {
        if (onAbout)
            onAbout();
    };

    // Reading the store and the folder, and filling lists of tens of thousands of entries, waits
    // until the window is on the screen: the person sees it come up at once.
    PostMessageW(hwnd_, kLoadMessage, 0, 0);
}

void MainWindowWin32::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    driver_.Run([this] { form_.Form_Load(); });
    // Each list's first entry to show, in view from the start.
    for (const ControlLayout* row : rows_)
        if (row->kind == ControlKind::List) {
            const ListBox& list = *row->state(form_).list;
            if (list.TopIndex >= 0 && list.TopIndex < list.ListCount())
                SendMessageW(control(row->name), LB_SETTOPINDEX, static_cast<WPARAM>(list.TopIndex),
                             0);
        }
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
    if (comStarted_)
        CoUninitialize();
}

void MainWindowWin32::MakeFont(int dpi) {
    LOGFONTW message = MessageFont();
    message.lfHeight = MulDiv(message.lfHeight, dpi, systemDpi_);
    HFONT old = font_;
    font_ = CreateFontIndirectW(&message);
    if (old)
        DeleteObject(old);
}

void MainWindowWin32::ChangeDpi(int dpi, const RECT& suggested) {
    scale_ = dpi / 96.0;
    HFONT old = font_;
    font_ = nullptr;
    MakeFont(dpi);
    LayOut(); // the controls let go of the old font before it goes
    DeleteObject(old);
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    cachedPath_.clear(); // the preview is decoded again for its new size
    SyncFromForm();
    InvalidateRect(hwnd_, nullptr, TRUE);
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

const ControlLayout* MainWindowWin32::RowOf(HWND w) const {
    // GA_PARENT, not GetParent: that names the owner of a popup such as the tooltip.
    if (!w || GetAncestor(w, GA_PARENT) != hwnd_)
        return nullptr;
    const auto i = static_cast<std::size_t>(GetDlgCtrlID(w) - kFirstControlId);
    return i < rows_.size() ? rows_[i] : nullptr;
}

std::string MainWindowWin32::FocusedName() const {
    HWND focus = GetFocus();
    const ControlLayout* row = RowOf(focus);
    if (!row && focus)
        row = RowOf(GetAncestor(focus, GA_PARENT)); // the edit part of a combo box
    return row ? row->name : std::string();
}

void MainWindowWin32::CreateControls() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                               nullptr, instance_, nullptr);
    // Frames first, below the controls they surround; then the controls in tab order, which is
    // the order of creation, each after the label that names it: a screen reader takes a
    // control's name from the label just before it.
    std::vector<const ControlLayout*> order;
    for (const auto& c : WindowControls())
        if (c.kind == ControlKind::Frame || (c.kind == ControlKind::Label && c.labelFor.empty()))
            order.push_back(&c);
    for (const auto& c : WindowControls()) {
        if (c.kind == ControlKind::Frame || c.kind == ControlKind::Label)
            continue;
        if (const ControlLayout* label = LabelOf(c.name))
            order.push_back(label);
        order.push_back(&c);
    }
    std::set<std::string> framesWithOptions;
    for (const ControlLayout* c : order) {
        const bool startsGroup =
            c->kind == ControlKind::Option && framesWithOptions.insert(c->frame).second;
        const Win32Class kind = ClassOf(c->kind, startsGroup);
        const int id = kFirstControlId + static_cast<int>(rows_.size());
        HWND w = CreateWindowExW(
            0, kind.cls, Widen(c->caption).c_str(), WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0,
            hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        controls_[c->name] = w;
        rows_.push_back(c);
        if (c->kind == ControlKind::Picture) // beneath every other control, as it grows
            SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // Mouse messages reach the tooltip from PreTranslate: a subclassed control handles
        // every message far slower, which a list of 20,000 entries would feel.
        std::wstring tipText = Widen(c->tip); // the tooltip keeps a copy
        TOOLINFOW tip{sizeof tip, TTF_IDISHWND, hwnd_,          reinterpret_cast<UINT_PTR>(w),
                      {},         nullptr,      tipText.data(), 0,
                      nullptr};
        if (!c->tip.empty() && c->kind != ControlKind::Label)
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
    }
    LayOut();
    NameUnlabelled();
}

namespace {

// FNV-1a over the entries, each with its end: equal entries give equal fingerprints, and
// different ones, but for a chance of one in 2^64, different ones.
std::uint64_t Fingerprint(const std::vector<std::string>& items) {
    std::uint64_t h = 14695981039346656037ULL;
    const auto mix = [&h](unsigned value) {
        h ^= value;
        h *= 1099511628211ULL;
    };
    for (const std::string& item : items) {
        for (unsigned char c : item)
            mix(c);
        mix(0x100);
    }
    return h;
}

// Active Accessibility's annotation service, or null where the system has none.
IAccPropServices* AnnotationService() {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services))))
        return nullptr;
    return services;
}

} // namespace

void MainWindowWin32::NameUnlabelled() {
    // A list, a combo box or a picture takes no name from its own text, and an edit box takes its
    // label's: where there is none, or it is short ("D"), a screen reader asking for the name
    // gets the table's spoken one.
    IAccPropServices* services = AnnotationService();
    if (!services)
        return;
    for (const ControlLayout* c : rows_) {
        const std::string name = AnnotatedName(*c);
        if (name.empty())
            continue;
        HWND w = control(c->name);
        if (SUCCEEDED(services->SetHwndPropStr(w, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                                               Widen(name).c_str())))
            annotated_.push_back(w);
    }
    services->Release();
}

void MainWindowWin32::ClearNames() {
    // The annotations outlive the windows they name unless taken back.
    if (annotated_.empty())
        return;
    if (IAccPropServices* services = AnnotationService()) {
        const MSAAPROPID name = PROPID_ACC_NAME;
        for (HWND w : annotated_)
            services->ClearHwndProps(w, OBJID_CLIENT, CHILDID_SELF, &name, 1);
        services->Release();
    }
    annotated_.clear();
}

void MainWindowWin32::LayOut() {
    for (const ControlLayout* c : rows_) {
        HWND w = control(c->name);
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        const bool combo = c->kind == ControlKind::Combo || c->kind == ControlKind::DriveList;
        // Combo boxes are as tall as their open list; the closed box keeps its own height.
        const int height = combo ? px(c->height) + px(2400) : px(c->height);
        SetWindowPos(w, nullptr, px(c->left), px(c->top), px(c->width), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (combo)
            SendMessageW(w, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), px(c->height) - px(90));
        else if (c->kind == ControlKind::FolderList)
            SendMessageW(w, LB_SETITEMHEIGHT, 0, px(270));
    }
}

void MainWindowWin32::CreateMenus() {
    HMENU bar = CreateMenu();
    std::vector<ACCEL> keys;
    for (const auto& menu : WindowMenus()) {
        HMENU popup = CreatePopupMenu();
        for (const auto& entry : menu.entries) {
            if (entry.name.empty()) {
                AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const int id = kFirstMenuId + static_cast<int>(menuIds_.size());
            menuIds_.push_back(&entry);
            const std::string text =
                entry.caption + (entry.shortcut.empty() ? "" : "\t" + entry.shortcut);
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(id), Widen(text).c_str());
            // The key carries the entry's id; the high word of its WM_COMMAND tells it apart.
            if (ACCEL key{}; !entry.shortcut.empty() && ParseShortcut(entry.shortcut, key)) {
                key.cmd = static_cast<WORD>(id);
                keys.push_back(key);
            }
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Widen(menu.caption).c_str());
    }
    accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    SetMenu(hwnd_, bar);
}

bool MainWindowWin32::PreTranslate(MSG& msg) {
    if (!IsWindow(hwnd_) || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)))
        return false;
    // A key or a click acts on the loaded form, even one given before the load's turn.
    if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
        (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST))
        Load();
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST)
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    // A right press in a list bitmaps are dragged from starts a drag of its selected ones.
    const ControlLayout* row = RowOf(msg.hwnd);
    if (msg.message == WM_RBUTTONDOWN && row && !row->dropTarget.empty()) {
        POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ClientToScreen(msg.hwnd, &at);
        Drag(*row, at);
        return true;
    }
    const bool inEdit = IsEdit(msg.hwnd);
    const ControlLayout* combo = inEdit ? RowOf(GetAncestor(msg.hwnd, GA_PARENT)) : nullptr;
    // A double-click on a combo box's text is its own (the history applies that bitmap).
    if (msg.message == WM_LBUTTONDBLCLK && combo) {
        driver_.Raise(combo->name, ControlEvent::DblClick);
        return false; // the edit still selects the word under the pointer
    }
    // In a text field Del deletes text, as everywhere else: no accelerator then.
    const bool delInEdit = msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE && inEdit;
    if (!delInEdit && TranslateAcceleratorW(hwnd_, accelerators_, &msg))
        return true;
    // Enter in the folder list opens the folder chosen, in the drive list takes the drive; it is
    // not the dialog's default button there.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && row &&
        (row->kind == ControlKind::FolderList ||
         (row->kind == ControlKind::DriveList &&
          !SendMessageW(msg.hwnd, CB_GETDROPPEDSTATE, 0, 0)))) {
        const UINT current = row->kind == ControlKind::FolderList ? LB_GETCURSEL : CB_GETCURSEL;
        driver_.Pick(row->name, static_cast<int>(SendMessageW(msg.hwnd, current, 0, 0)));
        return true;
    }
    // Enter in a box that acts when left (the collection's name) presses no button.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && combo &&
        combo->CallOn(ControlEvent::LostFocus))
        return true;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK MainWindowWin32::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindowWin32*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainWindowWin32::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    // What the person or the system asks of the form finds it loaded, whenever it comes (the
    // controls' own notices while the window is built come before the load, as they always did).
    if (msg == kLoadMessage || (msg == WM_COMMAND && lp == 0) || msg == WM_TIMER ||
        msg == WM_CLOSE || msg == WM_ENDSESSION)
        Load();
    switch (msg) {
    case kLoadMessage:
        return 0;
    case kFocusLeftMessage:
        driver_.FocusLeft(reinterpret_cast<const ControlLayout*>(lp)->name, true);
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        const auto menu = static_cast<std::size_t>(id - kFirstMenuId);
        const ControlLayout* row = RowOf(reinterpret_cast<HWND>(lp));
        if (lp == 0 && id >= kFirstMenuId && menu < menuIds_.size()) {
            // An accelerator (high word 1) acts where the focus is; a click on the entry not.
            if (HIWORD(wp) == 1)
                driver_.Shortcut(menuIds_[menu]->shortcut, FocusedName());
            else
                driver_.Menu(menuIds_[menu]->name);
        } else if (row && !syncing_) {
            OnCommand(*row, HIWORD(wp), reinterpret_cast<HWND>(lp));
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
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514))); // IDC_WAIT
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // As a dialog box does: the focus goes back to the control that had it when the window
        // was left (for Alt+Tab, a message box, About), not to the bare frame.
        if (LOWORD(wp) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus && IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else if (!HIWORD(wp) && lastFocus_ && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (lastFocus_ && IsWindow(lastFocus_))
            SetFocus(lastFocus_);
        return 0;
    case WM_CLOSE:
        driver_.End(); // the window goes once no handler runs
        return 0;
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wp)
            EndSession();
        return 0;
    case WM_DESTROY:
        ClearNames(); // the controls are still there
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

// A control's notification, looked up by its kind and code, as the driver's call.
void MainWindowWin32::OnCommand(const ControlLayout& row, int code, HWND from) {
    const auto is = [&](ControlKind kind, int c) { return row.kind == kind && code == c; };
    using K = ControlKind;
    if (is(K::Button, BN_CLICKED) || is(K::Option, BN_CLICKED))
        driver_.Raise(row.name, ControlEvent::Click);
    else if (is(K::List, LBN_DBLCLK) || is(K::Picture, STN_DBLCLK))
        driver_.Raise(row.name, ControlEvent::DblClick);
    else if (is(K::CheckBox, BN_CLICKED))
        driver_.Check(row.name, SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED);
    else if (is(K::TextBox, EN_CHANGE) || is(K::Combo, CBN_EDITCHANGE))
        driver_.Edit(row.name, WindowText(from));
    else if (is(K::Combo, CBN_SELCHANGE) || is(K::DriveList, CBN_SELCHANGE))
        driver_.Pick(row.name, static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
    else if (is(K::FolderList, LBN_DBLCLK))
        driver_.Pick(row.name, static_cast<int>(SendMessageW(from, LB_GETCURSEL, 0, 0)));
    else if (is(K::List, LBN_SELCHANGE))
        PushSelection(row, from);
    else if (is(K::Combo, CBN_KILLFOCUS))
        LeaveCombo(row, from);
}

void MainWindowWin32::LeaveCombo(const ControlLayout& row, HWND combo) {
    // Not to its drop-down, a menu or another program.
    HWND to = GetFocus();
    const bool within = IsChild(hwnd_, to) && to != combo && !IsChild(combo, to);
    // A click moves the focus from inside the clicked control's own button-down handling, which
    // goes on with what it found under the pointer: leaving the box (a question, a list emptied)
    // waits until that is done. The posted message comes before the button is let go.
    if (within && (GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0))
        PostMessageW(hwnd_, kFocusLeftMessage, 0, reinterpret_cast<LPARAM>(&row));
    else
        driver_.FocusLeft(row.name, within);
}

void MainWindowWin32::PushSelection(const ControlLayout& row, HWND list) {
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    std::vector<bool> chosen(static_cast<std::size_t>(std::max(count, 0)), false);
    const int selected = static_cast<int>(SendMessageW(list, LB_GETSELCOUNT, 0, 0));
    if (selected > 0) {
        std::vector<int> items(static_cast<std::size_t>(selected));
        SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(items.data()));
        for (int i : items)
            if (i >= 0 && i < count)
                chosen[static_cast<std::size_t>(i)] = true;
    }
    const int current = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    shown_[list].selected = chosen; // what the control shows now, as the person left it
    driver_.Select(row.name, chosen, current);
}

void MainWindowWin32::Drag(const ControlLayout& row, POINT start) {
    // The drag's own loop runs inside a handler, so a tick or an end waits until the drop. It
    // starts once the pointer leaves the system's drag rectangle, as DragDetect has it.
    HWND from = control(row.name);
    HWND target = control(row.dropTarget);
    driver_.Run([&] {
        RECT still{start.x - GetSystemMetrics(SM_CXDRAG), start.y - GetSystemMetrics(SM_CYDRAG),
                   start.x + GetSystemMetrics(SM_CXDRAG) + 1,
                   start.y + GetSystemMetrics(SM_CYDRAG) + 1};
        SetCapture(from);
        bool dragging = false, dropped = false;
        MSG msg;
        while (GetCapture() == from) {
            if (const BOOL got = GetMessageW(&msg, nullptr, 0, 0); got <= 0) {
                // A quit ends the drag and, posted again, the program's own loop.
                if (got == 0)
                    PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (msg.message == WM_MOUSEMOVE || msg.message == WM_RBUTTONUP) {
                POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
                ClientToScreen(msg.hwnd, &at);
                if (!dragging && !PtInRect(&still, at)) {
                    dragging = true;
                    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // carrying bitmaps
                }
                if (msg.message == WM_RBUTTONUP) {
                    dropped = dragging && target && WindowFromPoint(at) == target;
                    break;
                }
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
                break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetCapture() == from)
            ReleaseCapture();
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
        if (dropped) // anywhere else the drop is refused
            driver_.Raise(row.dropTarget, ControlEvent::Drop);
    });
}

void MainWindowWin32::EndSession() {
    Load();
    // Windows may end the process as soon as this returns: the exit runs now, even below a
    // question still on the screen; the view's dialogs ask nothing from here on.
    if (onSessionEnding)
        onSessionEnding();
    driver_.EndNow();
}

void MainWindowWin32::SyncFromForm() {
    if (!IsWindow(hwnd_))
        return;
    syncing_ = true;
    if (WindowText(hwnd_) != form_.Caption)
        SetWindowTextW(hwnd_, Widen(form_.Caption).c_str());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        SyncControl(*rows_[i], control(rows_[i]->name));
    syncing_ = false;
}

void MainWindowWin32::SyncControl(const ControlLayout& row, HWND w) {
    if (!row.state)
        return;
    const ControlState s = row.state(form_);
    const auto setText = [w](const std::string& text) {
        // Only a different text is put in: the caret and selection of the person typing stay.
        if (WindowText(w) != text)
            SetWindowTextW(w, Widen(text).c_str());
    };
    if (s.combo) {
        Fill(w, s.combo->items(), true, s.combo);
        if (SendMessageW(w, CB_GETCURSEL, 0, 0) != s.combo->ListIndex())
            SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(s.combo->ListIndex()), 0);
        setText(s.combo->Text());
    } else if (s.list) {
        SyncList(w, *s.list);
    } else if (s.text) {
        setText(s.text->Text());
    } else if (s.option) {
        SendMessageW(w, BM_SETCHECK, s.option->Value() ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (s.check) { // 0, 1 and 2 are BST_UNCHECKED, BST_CHECKED and BST_INDETERMINATE
        SendMessageW(w, BM_SETCHECK, static_cast<WPARAM>(s.check->Value()), 0);
    } else if (s.drives) {
        const auto& volumes = s.drives->volumes;
        Fill(w, volumes, true);
        const auto found = std::find(volumes.begin(), volumes.end(), s.drives->Drive());
        SendMessageW(w, CB_SETCURSEL, found == volumes.end() ? -1 : found - volumes.begin(), 0);
    } else if (s.folders) {
        SyncFolders(w, *s.folders);
    } else if (s.picture) {
        SyncPreview(row, w, *s.picture);
    }
}

void MainWindowWin32::Fill(HWND w, const std::vector<std::string>& items, bool combo,
                           const ItemList* source) {
    Shown& shown = shown_[w];
    if (source && shown.source == source && shown.revision == source->revision())
        return;
    shown.source = source;
    shown.revision = source ? source->revision() : 0;
    // The same entries put in again would lose the person's place in the list.
    const std::uint64_t fingerprint = Fingerprint(items);
    if (items.size() == shown.count && fingerprint == shown.fingerprint)
        return;
    // Room for every entry at once and no drawing until the end.
    SendMessageW(w, WM_SETREDRAW, FALSE, 0);
    SendMessageW(w, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    if (!combo) {
        // Room for exactly the entries' UTF-16 units, counted without widening them: an
        // overestimate stays allocated. Each is widened only as it goes in, so thousands are not
        // held a third time.
        std::size_t bytes = 0;
        for (const auto& item : items)
            bytes += (WidenedLength(item) + 1) * sizeof(wchar_t);
        SendMessageW(w, LB_INITSTORAGE, items.size(), bytes);
        for (const auto& item : items)
            SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    } else {
        for (const auto& item : items)
            SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    }
    SendMessageW(w, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(w, nullptr, TRUE);
    shown.count = items.size();
    shown.fingerprint = fingerprint;
    shown.selected.assign(items.size(), false);
}

void MainWindowWin32::SyncList(HWND list, const ListBox& box) {
    Fill(list, box.items(), false, &box);
    Shown& shown = shown_[list];
    std::vector<bool> want(static_cast<std::size_t>(box.ListCount()));
    for (int i = 0; i < box.ListCount(); ++i)
        want[static_cast<std::size_t>(i)] = box.Selected(i);
    if (want != shown.selected) {
        for (std::size_t i = 0; i < want.size(); ++i)
            if (want[i] != shown.selected[i])
                SendMessageW(list, LB_SETSEL, want[i] ? TRUE : FALSE, static_cast<LPARAM>(i));
        shown.selected = want;
    }
    const int current = box.ListIndex() < box.ListCount() ? box.ListIndex() : -1;
    if (current >= 0 && SendMessageW(list, LB_GETCARETINDEX, 0, 0) != current)
        SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(current), FALSE);
    EnableWindow(list, box.enabled ? TRUE : FALSE);
}

void MainWindowWin32::SyncFolders(HWND list, const DirListBox& box) {
    folders_ = box.Rows();
    std::vector<std::string> texts;
    for (const FolderRow& row : folders_)
        texts.push_back(row.text);
    Fill(list, texts, false);
    // The folder shown is the one highlighted.
    for (std::size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].shown && SendMessageW(list, LB_GETCURSEL, 0, 0) != static_cast<LRESULT>(i))
            SendMessageW(list, LB_SETCURSEL, i, 0);
}

void MainWindowWin32::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const ControlLayout* row = RowOf(item.hwndItem);
    if (row && row->kind == ControlKind::Picture && row->state)
        PaintPreview(*row->state(form_).picture, item.hDC, item.rcItem);
    else if (row && row->kind == ControlKind::FolderList)
        PaintFolder(item);
}

void MainWindowWin32::PaintFolder(const DRAWITEMSTRUCT& item) {
    if (item.itemID < folders_.size())
        PaintFolderRow(item, folders_[item.itemID]);
}

bool MainWindowWin32::LoadPicture(const std::string& path) {
    // A picture larger than the window is decoded only as far as it can be seen.
    const ImageBox& box = form_.imgThumb;
    const bool fit = box.stretch;
    const SIZE limit = PreviewLimit(box);
    std::optional<Picture> picture = DecodePictureFileFor(path, limit.cx, limit.cy, fit);
    if (!picture)
        return false; // refused: the last picture stays, never a half-read one
    cachedPath_ = path;
    cached_ = std::move(*picture);
    cachedLimit_ = limit;
    cachedFit_ = fit;
    return true;
}

SIZE MainWindowWin32::PreviewLimit(const ImageBox& box) const {
    if (box.stretch)
        return {px(box.width), px(box.height)};
    RECT client{};
    GetClientRect(hwnd_, &client);
    return {std::max<LONG>(1, client.right - client.left),
            std::max<LONG>(1, client.bottom - client.top)};
}

void MainWindowWin32::SyncPreview(const ControlLayout& row, HWND picture, const ImageBox& box) {
    const SIZE limit = PreviewLimit(box);
    if (!box.picture.empty() && (box.picture != cachedPath_ || box.stretch != cachedFit_ ||
                                 limit.cx != cachedLimit_.cx || limit.cy != cachedLimit_.cy))
        LoadPicture(box.picture);
    const bool shown = !box.picture.empty() && box.picture == cachedPath_;
    int width = px(box.width), height = px(box.height);
    if (shown && !box.stretch) {
        width = cached_.width;
        height = cached_.height;
    }
    const RECT now = controlRect(row.name);
    if (now.right - now.left != width || now.bottom - now.top != height)
        SetWindowPos(picture, HWND_BOTTOM, px(row.left), px(row.top), width, height,
                     SWP_NOACTIVATE);
    InvalidateRect(picture, nullptr, TRUE);
}

void MainWindowWin32::PaintPreview(const ImageBox& box, HDC dc, const RECT& rect) {
    const bool shown = !box.picture.empty() && box.picture == cachedPath_;
    PaintPicture(dc, rect, shown ? &cached_ : nullptr);
}

} // namespace velum
