// The real Win32 window over the form, driven through input and the controls' own messages.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "about/win32/AboutWindow.h"
#include "common/Files.h"
#include "mainwindow/WindowLayout.h"
#include "mainwindow/win32/MainWindowWin32.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// Answers questions from a script and runs a hook while one is open, as a person who waits.
struct ScriptedDialogs final : Dialogs {
    std::vector<std::string> questions, messages;
    bool silenced = false; // the program's dialogs answer No unseen from here on
    int asked = 0;         // questions a person would have seen
    std::vector<bool> answers;
    std::function<void()> whileAsking;
    bool AskYesNo(const std::string& prompt, const std::string&) override {
        questions.push_back(prompt);
        asked += silenced ? 0 : 1;
        if (whileAsking)
            whileAsking();
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return yes;
    }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
};

struct Win32View : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    ScriptedDialogs dialogs;
    FakeDesktop desktop{reg};
    std::string pics = JoinPath(store.root(), "pics");
    std::unique_ptr<frmWallPaper> form;
    std::unique_ptr<MainWindowWin32> view;

    void SetUp() override {
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp24(JoinPath(pics, name), 4, 4, std::vector<std::uint32_t>(16, 0x3366aa));
        reg.Put("Software\\Velumor\\Options", "Collections", reg::kSz, std::string("Nature\0", 7));
        reg.Put("Software\\Velumor\\Options", "Current", reg::kSz, std::string("Nature\0", 7));
        WriteWholeFile(store.file("velum.cfg"),
                       CrlfJoin({"\"Bmp\",\"Nature\",\"" + JoinPath(pics, "a.bmp") + "\"",
                                 "\"Bmp\",\"Nature\",\"" + JoinPath(pics, "b.bmp") + "\""}));
        SetCurrentDirectoryA(pics.c_str()); // the browser opens where the program starts
        form = std::make_unique<frmWallPaper>(reg, dialogs);
        form->UseDesktop(desktop);
        view = std::make_unique<MainWindowWin32>(*form, GetModuleHandleA(nullptr));
        ShowWindow(view->hwnd(), SW_SHOW);
        SetForegroundWindow(view->hwnd());
        Pump();
    }
    void TearDown() override {
        view.reset();
        Pump();
        SetCurrentDirectoryA(store.root().c_str());
    }
    // Runs the message loop as the program does, for a while.
    void Pump(int ms = 50) {
        const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
        do {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (view && view->PreTranslate(msg))
                    continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            Sleep(5);
        } while (GetTickCount() < end);
    }
    HWND Control(const char* name) { return view->control(name); }
    HWND Edit(const char* combo) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(Control(combo), &info);
        return info.hwndItem;
    }
    // A chord (keys held, then one pressed) as the keyboard gives it.
    static void Chord(std::vector<INPUT>& in, std::initializer_list<WORD> down, WORD key) {
        auto push = [&](WORD vk, bool up) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = vk;
            i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            in.push_back(i);
        };
        for (WORD d : down)
            push(d, false);
        push(key, false);
        push(key, true);
        for (auto it = down.end(); it != down.begin();)
            push(*--it, true);
    }
    // Keys to the window with the focus, all queued before the window reads any.
    void Keys(std::initializer_list<WORD> down, WORD key, WORD then = 0) {
        std::vector<INPUT> in;
        Chord(in, down, key);
        if (then)
            Chord(in, {}, then);
        SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
        Pump();
    }
    void Type(const std::string& text) {
        for (char c : text)
            SendMessageA(GetFocus(), WM_CHAR, static_cast<WPARAM>(c), 1);
        Pump();
    }
    std::string Text(HWND w) {
        char buf[512] = {};
        GetWindowTextA(w, buf, sizeof buf);
        return buf;
    }
    // A click of the left button at a point of a control, as the mouse gives it.
    void Click(HWND w, int x, int y) {
        POINT at{x, y};
        ClientToScreen(w, &at);
        SetCursorPos(at.x, at.y);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
        Pump();
    }
};

} // namespace

TEST_F(Win32View, EveryControlStandsWhereTheSharedLayoutPutsIt) {
    for (const ControlSpec& c : WindowControls()) {
        ASSERT_NE(Control(c.name.c_str()), nullptr) << c.name;
        if (c.kind == ControlKind::Combo || c.kind == ControlKind::DriveList ||
            c.name == "imgThumb")
            continue; // a closed combo box is as tall as its font; the picture as its bitmap
        const RECT r = view->controlRect(c.name);
        EXPECT_EQ(r.left, view->px(c.left)) << c.name;
        EXPECT_EQ(r.top, view->px(c.top)) << c.name;
        EXPECT_EQ(r.right - r.left, view->px(c.width)) << c.name;
        EXPECT_EQ(r.bottom - r.top, view->px(c.height)) << c.name;
    }
    RECT client{};
    GetClientRect(view->hwnd(), &client);
    EXPECT_EQ(client.right, view->px(kClientWidthTwips));
    EXPECT_EQ(client.bottom, view->px(kClientHeightTwips));
}

TEST_F(Win32View, TheWindowIsCentredByItsOuterFrameOnTheWorkArea) {
    RECT frame{}, work{};
    GetWindowRect(view->hwnd(), &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((frame.left + frame.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (work.top + work.bottom)), 2);
}

TEST_F(Win32View, StartsWithTheCollectionItsBitmapsAndTheFolderItStartedIn) {
    EXPECT_EQ(Text(Edit("cmbCollection")), "Nature");
    EXPECT_EQ(SendMessageA(Control("lstRotateBmps"), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(Control("filWinBmps"), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Text(view->hwnd()), "Velum");
}

TEST_F(Win32View, TypingInTheMiddleOfTheNameKeepsTheCaret) {
    HWND edit = Edit("cmbCollection");
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 2, 2);
    Type("XY");
    EXPECT_EQ(Text(edit), "NaXYture");
    EXPECT_EQ(form->cmbCollection.Text(), "NaXYture");
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(end, 4u);
}

TEST_F(Win32View, AnAccessKeyMovesTheFocusSoATypedNameIsTakenFirst) {
    HWND edit = Edit("cmbCollection");
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    Type("Sky");
    SendMessageA(Control("filWinBmps"), LB_SETSEL, TRUE, 0);
    Keys({VK_MENU}, 'L'); // Add All
    EXPECT_EQ(GetFocus(), Control("cmdAddAll"));
    EXPECT_EQ(form->LoadedCollectionName, "Sky"); // taken before the button acted
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 3);
}

TEST_F(Win32View, DelRemovesFromTheRotationListEditsTextAndElsewhereDeletesTheCollection) {
    HWND rotation = Control("lstRotateBmps");
    SetFocus(rotation);
    SendMessageA(rotation, LB_SETSEL, TRUE, 0);
    SendMessageA(view->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(rotation), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(rotation));
    Keys({}, VK_DELETE);
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 1);
    EXPECT_EQ(form->cmbCollection.ListCount(), 1);

    HWND days = Control("txtDays");
    SetFocus(days);
    Type("12");
    SendMessageA(days, EM_SETSEL, 0, 0);
    Keys({}, VK_DELETE);
    EXPECT_EQ(Text(days), "2");
    EXPECT_EQ(form->cmbCollection.ListCount(), 1);

    SetFocus(Control("cmdApply"));
    form->cmbCollection.SetListIndex(0);
    Keys({}, VK_DELETE);
    EXPECT_EQ(form->cmbCollection.ListCount(), 0);
}

TEST_F(Win32View, CtrlSSavesAndTheSaveQuestionIsAnsweredYesOrNo) {
    Keys({VK_CONTROL}, 'S');
    EXPECT_EQ(StoredBitmapsOf("Nature").size(), 2u);

    for (bool yes : {false, true}) {
        form->lstRotateBmps.Clear();
        form->CollectionDirty = true;
        dialogs.answers = {yes};
        SetFocus(Edit("cmbCollection"));
        SendMessageA(Edit("cmbCollection"), EM_SETSEL, 0, -1);
        Type(yes ? "Yes" : "No");
        SetFocus(Control("filWinBmps")); // the focus moves on: the left collection is asked about
        Pump();
        EXPECT_EQ(StoredBitmapsOf("Nature").size(), yes ? 0u : 2u) << yes;
        view->driver().Run([this] {
            form->cmbCollection.SetText("Nature");
            form->cmbCollection_LostFocus();
        });
    }
    int aboutNature = 0;
    for (const auto& q : dialogs.questions)
        aboutNature += q.find("\"Nature\"") != std::string::npos;
    EXPECT_EQ(aboutNature, 2);
}

TEST_F(Win32View, ATimerTickWhileAQuestionIsOpenWaitsUntilItIsAnswered) {
    form->txtMinutes.SetText("0");
    form->CollectionDirty = true;
    bool appliedWhileAsking = true;
    dialogs.whileAsking = [&] {
        SendMessageA(view->hwnd(), WM_TIMER, MainWindowWin32::kTimerId, 0);
        appliedWhileAsking = !desktop.calls.empty();
    };
    SetFocus(Edit("cmbCollection"));
    SendMessageA(Edit("cmbCollection"), EM_SETSEL, 0, -1);
    Type("Other");
    SetFocus(Control("filWinBmps"));
    Pump();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_FALSE(appliedWhileAsking);
    EXPECT_EQ(desktop.calls.size(), 0u); // "Other" is empty: the deferred tick changes nothing
}

TEST_F(Win32View, TheMenusOpenByKeyboardAndFileExitRunsTheExitOnce) {
    form->lstRotateBmps.AddItem("/kept.bmp");
    form->CollectionDirty = true;
    SetFocus(Control("filWinBmps"));
    Keys({VK_MENU}, 'F', 'X'); // the File menu, then its Exit
    Pump(200);
    EXPECT_FALSE(IsWindow(view->hwnd()));
    EXPECT_EQ(dialogs.questions.size(), 1u); // the changed collection, once
    EXPECT_TRUE(FileExists(store.file("velum.cfg")));
    EXPECT_EQ(RawValue(reg, "Software\\Velumor\\Options", "Current"), std::string("Nature\0", 7));
}

TEST_F(Win32View, TheSessionEndSavesWithoutAQuestion) {
    view->onSessionEnding = [this] { dialogs.silenced = true; };
    form->CollectionDirty = true;
    EXPECT_EQ(SendMessageA(view->hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(view->hwnd(), WM_ENDSESSION, TRUE, 0);
    Pump();
    EXPECT_TRUE(view->driver().Ended());
    EXPECT_EQ(dialogs.asked, 0);
    EXPECT_FALSE(IsWindow(view->hwnd()));
    EXPECT_EQ(RawValue(reg, "Software\\Velumor\\Options", "Collections"),
              std::string("Nature\0", 7));
}

TEST_F(Win32View, ARightButtonDragFromTheFileListAddsOnlyWhenDroppedOnTheRotationList) {
    SendMessageA(Control("filWinBmps"), LB_SETSEL, TRUE, 2); // c.bmp
    SendMessageA(view->hwnd(), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(Control("filWinBmps")), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Control("filWinBmps")));
    // The pointer's way as the mouse gives it: to the file, the right button down, on, up.
    auto drag = [&](HWND to) {
        POINT from{20, 5}, at{30, 30};
        ClientToScreen(Control("filWinBmps"), &from);
        ClientToScreen(to, &at);
        auto event = [](POINT p, DWORD button) {
            INPUT i{};
            i.type = INPUT_MOUSE;
            i.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
            i.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
            i.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
            return i;
        };
        // From another thread, step by step, while this one runs the window (and the drag loop).
        std::thread hand([&] {
            for (INPUT step : {event(from, 0), event(from, MOUSEEVENTF_RIGHTDOWN), event(at, 0),
                               event(at, MOUSEEVENTF_RIGHTUP)}) {
                Sleep(60);
                SendInput(1, &step, sizeof(INPUT));
            }
        });
        Pump(600);
        hand.join();
    };
    drag(Control("Dir1")); // refused anywhere else
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 2);
    drag(Control("lstRotateBmps"));
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 3);
}

TEST_F(Win32View, AboutOpensOnceAndIsBroughtBackWhenAskedAgain) {
    view->onAbout = [&] {
        ShowAboutWindow(view->hwnd(), GetModuleHandleA(nullptr), reg, dialogs, "1.0.0");
    };
    view->onAbout();
    HWND first = OpenAboutWindow();
    ASSERT_NE(first, nullptr);
    view->onAbout();
    EXPECT_EQ(OpenAboutWindow(), first);
    EXPECT_EQ(Text(first), "About Velum");
    SendMessageA(first, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(OpenAboutWindow(), nullptr);
}

TEST_F(Win32View, APreviewThatCannotBeDecodedLeavesTheLastPicture) {
    WriteWholeFile(JoinPath(pics, "cut.bmp"), ReadWholeFile(JoinPath(pics, "a.bmp")).substr(0, 60));
    form->chkAutoView.SetValue(1);
    view->driver().Run([this] { form->Dir1.SetPath(store.root()); });
    view->driver().Run([this] { form->Dir1.SetPath(pics); });
    const int a = 0, cut = 3; // a.bmp, b.bmp, c.bmp, cut.bmp
    ASSERT_EQ(form->filWinBmps.List(cut), "cut.bmp");
    view->driver().Run([&] { form->filWinBmps.SetSelected(a, true); });
    EXPECT_EQ(form->imgThumb.picture, JoinPath(pics, "a.bmp"));
    view->driver().Run([&] {
        form->filWinBmps.SetSelected(a, false);
        form->filWinBmps.SetSelected(cut, true);
    });
    EXPECT_EQ(form->imgThumb.picture, JoinPath(pics, "a.bmp"));
    UpdateWindow(Control("imgThumb"));
    Pump(100);
    HDC dc = GetDC(Control("imgThumb"));
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0x33, 0x66, 0xaa));
    ReleaseDC(Control("imgThumb"), dc);
}
