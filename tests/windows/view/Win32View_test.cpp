// The real Win32 window over the form, driven through input and the controls' own messages.
#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

#include "about/win32/AboutWindow.h"
#include "common/Folders.h"
#include "common/RegistrySettings.h"
#include "common/WideText.h"
#include "mainwindow/win32/MainWindowWin32.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// The test runs as aware of each monitor's scale as velumdesk.exe's manifest makes the program:
// per monitor, version 2, else version 1 (as Wine has it), else of the system's scale.
const bool kScaleAware = [] {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
    for (const auto context : {-4, -3})
        if (set && set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(context))))
            return true;
    return SetProcessDPIAware() != FALSE;
}();

// The name the table gives a control: the name the window annotates it with, else its label's
// text, else its caption, else its spoken name, without the access key's '&'.
std::string TableName(const ControlLayout& c) {
    if (std::string annotated = AnnotatedName(c); !annotated.empty())
        return annotated;
    const ControlLayout* label = LabelOf(c.name);
    std::string name = label ? label->caption : !c.caption.empty() ? c.caption : c.spoken;
    if (const auto amp = name.find('&'); amp != std::string::npos)
        name.erase(amp, 1);
    return name;
}

// What a screen reader hears as the control's name, through the system's accessible object.
std::string AccessibleName(HWND w) {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible), reinterpret_cast<void**>(&acc))))
        return "(no accessible object)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(self, &name);
    std::string text = hr == S_OK && name ? Narrow({name, SysStringLen(name)}) : "";
    SysFreeString(name);
    acc->Release();
    return text;
}

// Stands in for Active Accessibility's annotation service in this process: it keeps the names
// the window gives and takes back, and counts the references it hands out.
struct AnnotationLog final : IAccPropServices {
    struct Name {
        std::string text;
        bool cleared = false, clearedWhileThere = false;
    };
    std::map<HWND, Name> names;
    std::vector<std::string> faults;
    LONG refs = 0;

    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IAccPropServices)
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG WINAPI Release() override { return static_cast<ULONG>(--refs); }
    HRESULT WINAPI SetHwndPropStr(HWND w, DWORD object, DWORD child, MSAAPROPID prop,
                                  LPCWSTR text) override {
        if (object != static_cast<DWORD>(OBJID_CLIENT) || child != CHILDID_SELF ||
            prop != PROPID_ACC_NAME)
            faults.push_back("an annotation other than the client's name");
        names[w].text = Narrow(text);
        return S_OK;
    }
    HRESULT WINAPI ClearHwndProps(HWND w, DWORD object, DWORD child, const MSAAPROPID* props,
                                  int count) override {
        if (object != static_cast<DWORD>(OBJID_CLIENT) || child != CHILDID_SELF || count != 1 ||
            props[0] != PROPID_ACC_NAME)
            faults.push_back("a clear of something else than the client's name");
        names[w].cleared = true;
        names[w].clearedWhileThere = IsWindow(w) != FALSE;
        return S_OK;
    }
    // Nothing else is the window's business.
#define VELUM_UNUSED(name, ...)                                                                    \
    HRESULT WINAPI name(__VA_ARGS__) override {                                                    \
        return Odd();                                                                              \
    }
    VELUM_UNUSED(SetPropValue, const BYTE*, DWORD, MSAAPROPID, VARIANT)
    VELUM_UNUSED(SetPropServer, const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                 AnnoScope)
    VELUM_UNUSED(ClearProps, const BYTE*, DWORD, const MSAAPROPID*, int)
    VELUM_UNUSED(SetHwndProp, HWND, DWORD, DWORD, MSAAPROPID, VARIANT)
    VELUM_UNUSED(SetHwndPropServer, HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                 AnnoScope)
    VELUM_UNUSED(ComposeHwndIdentityString, HWND, DWORD, DWORD, BYTE**, DWORD*)
    VELUM_UNUSED(DecomposeHwndIdentityString, const BYTE*, DWORD, HWND*, DWORD*, DWORD*)
    VELUM_UNUSED(SetHmenuProp, HMENU, DWORD, MSAAPROPID, VARIANT)
    VELUM_UNUSED(SetHmenuPropStr, HMENU, DWORD, MSAAPROPID, LPCWSTR)
    VELUM_UNUSED(SetHmenuPropServer, HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                 AnnoScope)
    VELUM_UNUSED(ClearHmenuProps, HMENU, DWORD, const MSAAPROPID*, int)
    VELUM_UNUSED(ComposeHmenuIdentityString, HMENU, DWORD, BYTE**, DWORD*)
    VELUM_UNUSED(DecomposeHmenuIdentityString, const BYTE*, DWORD, HMENU*, DWORD*)
#undef VELUM_UNUSED
    HRESULT Odd() {
        faults.push_back("a call the window has no use for");
        return E_NOTIMPL;
    }
};

// Hands out the log whenever the window asks for the annotation service.
struct AnnotationFactory final : IClassFactory {
    AnnotationLog& log;
    explicit AnnotationFactory(AnnotationLog& l) : log(l) {}
    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : log.QueryInterface(iid, out);
    }
    HRESULT WINAPI LockServer(BOOL) override { return S_OK; }
};

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
        ASSERT_TRUE(kScaleAware);
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp24(JoinPath(pics, name), 4, 4, std::vector<std::uint32_t>(16, 0x3366aa));
        WriteWholeFile(JoinPath(pics, "cut.bmp"),
                       ReadWholeFile(JoinPath(pics, "a.bmp")).substr(0, 60));
        CreateDirectoryA(JoinPath(pics, "sub").c_str(), nullptr);
        reg.Put(kOptionsKey, "Collections", reg::kSz, std::string("Nature\0", 7));
        reg.Put(kOptionsKey, "Current", reg::kSz, std::string("Nature\0", 7));
        Open();
    }
    // A new form and its window, shown; in front and its messages run unless only `painted`.
    void Open(bool painted = false) {
        view.reset();
        form = std::make_unique<frmWallPaper>(reg, *this, FormPlaces{store.root(), pics});
        form->UseDesktop(desktop);
        view = std::make_unique<MainWindowWin32>(*form, GetModuleHandleA(nullptr));
        ShowWindow(view->hwnd(), SW_SHOW);
        if (painted)
            return (void)UpdateWindow(view->hwnd());
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
    // The pointer moved to `p` in w's client area, with a button's event (0 for none).
    static INPUT Mouse(HWND w, POINT p, DWORD button) {
        ClientToScreen(w, &p);
        return INPUT{.type = INPUT_MOUSE,
                     .mi = {p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1),
                            p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1), 0,
                            MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button, 0, 0}};
    }
};

} // namespace

// At the screen's scale (the prefix's: 96, 144 or 192 dots per inch), each control where the
// table puts it and every text of the About window, opened once, fitting. Moved to a monitor of
// another scale, the window is laid out and given its font again.
TEST_F(Win32View, EachControlStandsWhereTheLayoutPutsItAtEveryScaleAndEveryAboutTextFits) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (const char* want = std::getenv("VELUM_TEST_DPI")) {
        ASSERT_EQ(dpi, std::atoi(want)) << "the prefix's scale did not reach the program";
    }
    ASSERT_EQ(view->px(1500), MulDiv(100, dpi, 96));
    ExpectLaidOut();

    ShowAboutWindow(view->hwnd(), GetModuleHandleA(nullptr), reg, *this, "1.0.0");
    HWND about = OpenAboutWindow();
    ASSERT_NE(about, nullptr);
    ShowAboutWindow(view->hwnd(), GetModuleHandleA(nullptr), reg, *this, "1.0.0");
    EXPECT_EQ(OpenAboutWindow(), about);
    int texts = 0;
    RECT window{};
    GetClientRect(about, &window);
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char text[256] = {}, cls[16] = {};
        GetWindowTextA(c, text, sizeof text);
        RECT box{};
        GetWindowRect(c, &box);
        MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= window.right &&
                    box.bottom <= window.bottom)
            << "outside the window: " << text;
        if (!*text)
            continue;
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

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Control("cmdAdd"), WM_GETFONT, 0, 0));
    LOGFONTW before{}, after{};
    GetObjectW(font, sizeof before, &before);
    const int other = dpi == 144 ? 96 : 144;
    // As Windows suggests it: the client area at the new scale, with its frame and menu bar.
    RECT suggested{0, 0, MulDiv(kClientWidthTwips, other, 96 * kTwipsPerPixel),
                   MulDiv(kClientHeightTwips, other, 96 * kTwipsPerPixel)};
    AdjustWindowRectEx(&suggested, GetWindowLongW(view->hwnd(), GWL_STYLE), TRUE,
                       GetWindowLongW(view->hwnd(), GWL_EXSTYLE));
    SendMessageW(view->hwnd(), WM_DPICHANGED, MAKEWPARAM(other, other),
                 reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(view->px(1500), MulDiv(100, other, 96));
    ExpectLaidOut();
    font = reinterpret_cast<HFONT>(SendMessageW(Control("cmdAdd"), WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof after, &after);
    EXPECT_EQ(after.lfHeight, MulDiv(before.lfHeight, other, dpi));
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

// A new name typed, then a click on an entry of the rotation list: the list is emptied for the new
// collection only once the list box is done with the click, which found that entry under it.
TEST_F(Win32View, AClickThatLeavesANewNameStartsItsCollectionOnceTheClickIsDone) {
    view->driver().Run([this] {
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            form->lstRotateBmps.AddItem(JoinPath(pics, name));
    });
    SetFocus(NameEdit());
    SendMessageA(NameEdit(), EM_SETSEL, 6, 6);
    Keys({'S', -'S', 'K', -'K', 'Y', -'Y'});
    HWND list = Control("lstRotateBmps");
    INPUT click[] = {Mouse(list, {20, 5}, 0), Mouse(list, {20, 5}, MOUSEEVENTF_LEFTDOWN),
                     Mouse(list, {20, 5}, MOUSEEVENTF_LEFTUP)};
    SendInput(3, click, sizeof(INPUT));
    Pump(200);
    EXPECT_EQ(form->LoadedCollectionName, "Naturesky");
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(GetFocus(), list);
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
        HWND from = Control("filWinBmps");
        // From another thread, step by step, while this one runs the window (and the drag loop).
        std::thread hand([&] {
            for (INPUT step : {Mouse(from, {20, 5}, 0), Mouse(from, {20, 5}, MOUSEEVENTF_RIGHTDOWN),
                               Mouse(to, {30, 30}, 0), Mouse(to, {30, 30}, MOUSEEVENTF_RIGHTUP)}) {
                Sleep(60);
                SendInput(1, &step, sizeof(INPUT));
            }
        });
        Pump(600);
        hand.join();
        EXPECT_EQ(form->lstRotateBmps.ListCount(), to == Control("Dir1") ? 0 : 1);
    }
}

// Every control the table names is heard by that name: its label's text (the label just before it),
// its caption, or its spoken name given through the annotation service, which the window takes
// back before its controls go. Wine's oleacc names a control only from its own text, and an edit
// from the label before it, and keeps no annotation: there the other controls are checked by the
// label's place and the annotation calls, which a stand-in service records.
TEST_F(Win32View, EachControlIsHeardByTheNameTheTableGivesIt) {
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    IAccPropServices* system = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAccPropServices, reinterpret_cast<void**>(&system)),
              S_OK);
    for (const ControlLayout& c : WindowControls()) {
        HWND w = Control(c.name.c_str());
        const bool ownText = c.kind == ControlKind::Button || c.kind == ControlKind::Option ||
                             c.kind == ControlKind::CheckBox || c.kind == ControlKind::Frame ||
                             c.kind == ControlKind::Label || c.kind == ControlKind::TextBox;
        if (!wine || (ownText && AnnotatedName(c).empty())) {
            EXPECT_EQ(AccessibleName(w), TableName(c)) << c.name;
            continue;
        }
        if (const ControlLayout* label = LabelOf(c.name)) {
            EXPECT_EQ(GetWindow(w, GW_HWNDPREV), Control(label->name.c_str())) << c.name;
        }
        if (!AnnotatedName(c).empty()) {
            // Wine's own service refuses every annotation; a newer one would be compared above.
            EXPECT_EQ(system->SetHwndPropStr(w, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                             PROPID_ACC_NAME, Widen(TableName(c)).c_str()),
                      E_NOTIMPL)
                << c.name;
        }
    }
    system->Release();

    // The stand-in stays registered while the windows come and go: the apartment is this test's.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    AnnotationLog log;
    AnnotationFactory factory(log);
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_AccPropServices, &factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    Open();
    std::map<HWND, std::string> named, want;
    for (const auto& [w, name] : log.names)
        named[w] = name.text;
    for (const ControlLayout& c : WindowControls()) {
        EXPECT_FALSE(TableName(c).empty()) << c.name << " has no name at all";
        if (!AnnotatedName(c).empty())
            want[Control(c.name.c_str())] = c.spoken;
    }
    EXPECT_EQ(named, want);
    EXPECT_EQ(want.size(), 7u); // the file, drive and folder lists, the picture, D, H and M
    EXPECT_EQ(log.refs, 0);
    view.reset();
    for (const auto& [w, name] : want) {
        EXPECT_TRUE(log.names[w].cleared);
        EXPECT_TRUE(log.names[w].clearedWhileThere);
    }
    EXPECT_EQ(log.refs, 0);
    EXPECT_EQ(log.faults, std::vector<std::string>{});
    CoRevokeClassObject(cookie);
    CoUninitialize();
}

// The store and the folder are read once the window has been painted, from a posted message; a
// close that comes first still finds the form loaded, so the exit saves what was read and not an
// empty list of collections.
TEST_F(Win32View, TheStoreIsReadAfterTheFirstPaintAndAnEarlierCloseSavesWhatWasRead) {
    Open(true);
    EXPECT_EQ(form->filWinBmps.ListCount(), 0);
    EXPECT_EQ(form->cmbCollection.Text(), "");
    MSG pending{};
    EXPECT_TRUE(PeekMessageA(&pending, view->hwnd(), MainWindowWin32::kLoadMessage,
                             MainWindowWin32::kLoadMessage, PM_NOREMOVE));
    SendMessageA(view->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->filWinBmps.ListCount(), 4);
    EXPECT_EQ(form->cmbCollection.Text(), "Nature");
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), std::string("Nature\0", 7));
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), std::string("Nature\0", 7));
    EXPECT_FALSE(IsWindow(view->hwnd()));
}
