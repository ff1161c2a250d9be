// The real Win32 window over the form, driven through input and the controls' own messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

#include "about/win32/AboutWindow.h"
#include "common/Folders.h"
#include "common/RegistrySettings.h"
#include "mainwindow/win32/MainWindowWin32.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// Counts the questions, answering No, and runs a hook while one is open: a person who waits.
struct Win32View : ::testing::Test, Dialogs {
    std::size_t asked = 0;
    std::function<void()> whileAsking = [] {};
    bool AskYesNo(const std::string&, const std::string&) override {
        whileAsking();
        ++asked;
        return false;
    }
    void ShowMessage(const std::string&, const std::string&) override {}
    TempFolder store;
    MemoryRegistry reg;
    FakeDesktop desktop{reg};
    std::string pics = JoinPath(store.root(), "pics");
    std::unique_ptr<frmWallPaper> form;
    std::unique_ptr<MainWindowWin32> view;

    void SetUp() override {
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp24(JoinPath(pics, name), 4, 4, std::vector<std::uint32_t>(16, 0x3366aa));
        WriteWholeFile(JoinPath(pics, "cut.bmp"),
                       ReadWholeFile(JoinPath(pics, "a.bmp")).substr(0, 60));
        CreateDirectoryA(JoinPath(pics, "sub").c_str(), nullptr);
        reg.Put(kOptionsKey, "Collections", reg::kSz, std::string("Nature\0", 7));
        reg.Put(kOptionsKey, "Current", reg::kSz, std::string("Nature\0", 7));
        form = std::make_unique<frmWallPaper>(reg, *this, FormPlaces{store.root(), pics});
        form->UseDesktop(desktop);
        view = std::make_unique<MainWindowWin32>(*form, GetModuleHandleA(nullptr));
        ShowWindow(view->hwnd(), SW_SHOW);
        SetForegroundWindow(view->hwnd());
        Pump();
    }
    // Runs the message loop as the program does, for a while.
    void Pump(int ms = 50) {
        for (const DWORD end = GetTickCount() + ms; GetTickCount() < end; Sleep(5))
            for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
                if (!view || !view->PreTranslate(msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
    }
    HWND Control(const char* name) { return view->control(name); }
    // Each control where the table puts it at the window's scale, labels just before their
    // controls in z-order (where a screen reader looks for a name), and the client area's size.
    void ExpectLaidOut() {
        for (const ControlLayout& c : WindowControls()) {
            if (!c.labelFor.empty()) {
                EXPECT_EQ(GetWindow(Control(c.labelFor.c_str()), GW_HWNDPREV),
                          Control(c.name.c_str()))
                    << c.name;
            }
            if (c.kind == ControlKind::Combo || c.kind == ControlKind::DriveList ||
                c.name == "imgThumb")
                continue; // a closed combo box is as tall as its font; the picture as its bitmap
            const RECT r = view->controlRect(c.name);
            EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
                      (std::vector<LONG>{view->px(c.left), view->px(c.top), view->px(c.width),
                                         view->px(c.height)}))
                << c.name;
        }
        RECT client{};
        GetClientRect(view->hwnd(), &client);
        EXPECT_EQ((std::vector<LONG>{client.right, client.bottom}),
                  (std::vector<LONG>{view->px(kClientWidthTwips), view->px(kClientHeightTwips)}));
    }
    HWND NameEdit() { return FindWindowExA(Control("cmbCollection"), nullptr, "Edit", nullptr); }
    // Key strokes, a negative code letting the key go, all queued before the window reads any.
    void Keys(std::initializer_list<int> strokes) {
        std::vector<INPUT> in;
        for (int k : strokes)
            in.push_back({.type = INPUT_KEYBOARD,
                          .ki = {WORD(std::abs(k)), 0, k < 0 ? KEYEVENTF_KEYUP : 0u, 0, 0}});
        SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
        Pump();
    }
};

} // namespace

// At this scale: where the table puts it, and every text of the About window, opened once,
// fitting. Moved to a monitor of 144 DPI, the window is laid out and given its font again.
TEST_F(Win32View, EachControlStandsWhereTheLayoutPutsItAtEveryScaleAndEveryAboutTextFits) {
    ExpectLaidOut();
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Control("cmdAdd"), WM_GETFONT, 0, 0));
    LOGFONTW before{}, after{};
    GetObjectW(font, sizeof before, &before);
    // As Windows suggests it: the client area at the new scale, with its frame and menu bar.
    RECT suggested{0, 0, std::lround(kClientWidthTwips * 1.5 / 15),
                   std::lround(kClientHeightTwips * 1.5 / 15)};
    AdjustWindowRectEx(&suggested, GetWindowLongW(view->hwnd(), GWL_STYLE), TRUE,
                       GetWindowLongW(view->hwnd(), GWL_EXSTYLE));
    SendMessageW(view->hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(view->px(1500), 150);
    ExpectLaidOut();
    font = reinterpret_cast<HFONT>(SendMessageW(Control("cmdAdd"), WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof after, &after);
    EXPECT_EQ(after.lfHeight, MulDiv(before.lfHeight, 3, 2));
    SendMessageW(view->hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&suggested));
    ShowAboutWindow(view->hwnd(), GetModuleHandleA(nullptr), reg, *this, "1.0.0");
    HWND about = OpenAboutWindow();
    ASSERT_NE(about, nullptr);
    ShowAboutWindow(view->hwnd(), GetModuleHandleA(nullptr), reg, *this, "1.0.0");
    EXPECT_EQ(OpenAboutWindow(), about);
    int texts = 0;
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char text[256] = {}, cls[16] = {};
        GetWindowTextA(c, text, sizeof text);
        if (!*text)
            continue;
        RECT box{};
        GetClientRect(c, &box);
        GetClassNameA(c, cls, sizeof cls);
        const bool button = lstrcmpiA(cls, "Button") == 0;
        RECT need{0, 0, button ? 0 : box.right, 0};
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
        DrawTextA(dc, text, -1, &need, DT_CALCRECT | (button ? DT_SINGLELINE : DT_WORDBREAK));
        SelectObject(dc, old);
        ReleaseDC(c, dc);
        EXPECT_LE(need.bottom, box.bottom) << text;
        EXPECT_LE(need.right, box.right) << text;
        ++texts;
    }
    EXPECT_EQ(texts, 6); // title, version, description, warning, OK, System Info
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(OpenAboutWindow(), nullptr);
}

// Leaving a changed collection's name asks about it, and a tick while the question is open waits
// for the answer; the session end saves the settings without a question.
TEST_F(Win32View, TheSaveQuestionComesOnLeavingTheNameATickWaitsForItAndTheSessionEndSaves) {
    bool appliedWhileAsking = false;
    whileAsking = [&] {
        SendMessageA(view->hwnd(), WM_TIMER, MainWindowWin32::kTimerId, 0);
        appliedWhileAsking = !desktop.calls.empty();
    };
    form->lstRotateBmps.AddItem(JoinPath(pics, "a.bmp"));
    form->CollectionDirty = true;
    SendMessageA(NameEdit(), EM_SETSEL, 0, -1);
    Keys({'S', -'S', 'E', -'E', 'A', -'A'});
    SetFocus(Control("filWinBmps"));
    Pump();
    EXPECT_EQ(asked, 1u);
    EXPECT_FALSE(appliedWhileAsking);
    std::size_t seen = 99; // from the session end on, questions are answered No unseen
    view->onSessionEnding = [&] { seen = asked; };
    form->CollectionDirty = true;
    EXPECT_EQ(SendMessageA(view->hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(view->hwnd(), WM_ENDSESSION, TRUE, 0);
    Pump();
    EXPECT_EQ(seen, 1u);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), std::string("sea\0", 4));
}

// Del edits the name, removes from the rotation list and elsewhere deletes the collection; the name
// is taken before an access key's button acts; Enter in the folder list opens the folder chosen.
TEST_F(Win32View, KeysActWhereTheFocusIsAndItComesBackAfterAnotherProgram) {
    EXPECT_EQ(GetFocus(), NameEdit());
    SendMessageA(NameEdit(), EM_SETSEL, 2, 2);
    Keys({'X', -'X', 'Y', -'Y', VK_DELETE, -VK_DELETE, VK_MENU, 'L', -'L', -VK_MENU}); // Add All
    EXPECT_EQ(GetFocus(), Control("cmdAddAll"));
    EXPECT_EQ(form->LoadedCollectionName, "Naxyure"); // the caret stayed after the y
    SetFocus(Control("lstRotateBmps"));
    view->driver().Run([this] { form->lstRotateBmps.SetSelected(0, true); });
    Keys({VK_DELETE, -VK_DELETE});
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 3);
    HWND folders = Control("Dir1");
    SetFocus(folders);
    SendMessageA(folders, LB_SETCURSEL, form->Dir1.Rows().size() - 1, 0);
    Keys({VK_RETURN, -VK_RETURN});
    EXPECT_EQ(form->Dir1.Path(), NormalizeFolder(JoinPath(pics, "sub")));
    form->cmbCollection.SetListIndex(0);
    Keys({VK_DELETE, -VK_DELETE});
    EXPECT_EQ(form->cmbCollection.ListCount(), 1);
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(other);
    Pump();
    SetForegroundWindow(view->hwnd());
    Pump();
    EXPECT_EQ(GetFocus(), folders); // not the default button Enter might have pressed
    DestroyWindow(other);
}

// With the preview on, a picture that cannot be decoded leaves the last one up; a right-button drag
// from the file list adds its selection only when dropped on the rotation list.
TEST_F(Win32View, ThePreviewKeepsTheLastPictureAndARightDragAddsOnlyOnTheRotationList) {
    form->chkAutoView.SetValue(1);
    view->driver().Run([&] { form->filWinBmps.SetSelected(0, true); });
    view->driver().Run([&] {
        form->filWinBmps.SetSelected(0, false);
        form->filWinBmps.SetSelected(3, true); // cut.bmp
    });
    Pump(100);
    HDC dc = GetDC(Control("imgThumb"));
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0x33, 0x66, 0xaa));
    ReleaseDC(Control("imgThumb"), dc);
    for (HWND to : {Control("Dir1"), Control("lstRotateBmps")}) {
        auto event = [](HWND w, POINT p, DWORD button) {
            ClientToScreen(w, &p);
            return INPUT{.type = INPUT_MOUSE,
                         .mi = {p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1),
                                p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1), 0,
                                MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button, 0, 0}};
        };
        HWND from = Control("filWinBmps");
        // From another thread, step by step, while this one runs the window (and the drag loop).
        std::thread hand([&] {
            for (INPUT step : {event(from, {20, 5}, 0), event(from, {20, 5}, MOUSEEVENTF_RIGHTDOWN),
                               event(to, {30, 30}, 0), event(to, {30, 30}, MOUSEEVENTF_RIGHTUP)}) {
                Sleep(60);
                SendInput(1, &step, sizeof(INPUT));
            }
        });
        Pump(600);
        hand.join();
        EXPECT_EQ(form->lstRotateBmps.ListCount(), to == Control("Dir1") ? 0 : 1);
    }
}
