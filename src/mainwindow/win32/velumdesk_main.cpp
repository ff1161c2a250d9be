// velumdesk.exe: the wallpaper manager's window on Windows.
#include <windows.h>

#include <commctrl.h>

#include <clocale>
#include <string>

#include "about/win32/AboutWindow.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/PlatformRegistry.h"
#include "mainwindow/frmWallPaper.h"
#include "mainwindow/win32/MainWindowWin32.h"
#include "mainwindow/win32/Win32Dialogs.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    std::setlocale(LC_ALL, "");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    auto registry = velum::CreatePlatformRegistry();
    velum::Win32Dialogs dialogs;
    velum::frmWallPaper form(*registry, dialogs, {velum::GetWinDir(), velum::CurrentFolder()});
    velum::MainWindowWin32 view(form, instance);
    dialogs.owner = view.hwnd();
    view.driver().Complain = [&](const std::string& what) {
        dialogs.ShowMessage(what, velum::kProgramTitle);
    };
    view.onAbout = [&] {
        velum::ShowAboutWindow(view.hwnd(), instance, *registry, dialogs, VELUM_VERSION);
    };
    view.onSessionEnding = [&] { dialogs.answerNoWithoutAsking = true; };

    ShowWindow(view.hwnd(), show);
    UpdateWindow(view.hwnd());
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (HWND about = velum::OpenAboutWindow(); about && IsDialogMessageA(about, &msg))
            continue;
        if (view.PreTranslate(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
