// velumdesk.exe: the wallpaper manager's window on Windows.
#include <windows.h>

#include <commctrl.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "about/win32/AboutWindow.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/Numbers.h"
#include "common/PlatformRegistry.h"
#include "common/WideText.h"
#include "mainwindow/frmWallPaper.h"
#include "mainwindow/win32/MainWindowWin32.h"
#include "mainwindow/win32/Win32Dialogs.h"

namespace {

// The names of the store's guard: the same folder however its path is spelt in letter case.
std::string StoreKey(const std::string& folder) {
    // Folded as the file system folds names, any letters, not byte by byte.
    std::wstring folded = velum::Widen(folder);
    for (wchar_t& c : folded)
        c = c == L'/' ? L'\\' : c;
    if (!folded.empty())
        CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return "Velumdesk-" + velum::TextKey(velum::Narrow(folded));
}

// The open window of the store, published by it in a small shared block; nullptr when none.
HWND OpenWindowOf(const std::string& key) {
    HANDLE block =
        OpenFileMappingW(FILE_MAP_READ, FALSE, velum::Widen("Local\\" + key + "-window").c_str());
    if (!block)
        return nullptr;
    HWND found = nullptr;
    if (auto* value = static_cast<const std::uint64_t*>(
            MapViewOfFile(block, FILE_MAP_READ, 0, 0, sizeof(std::uint64_t)))) {
        found = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*value));
        UnmapViewOfFile(value);
    }
    CloseHandle(block);
    return found && IsWindow(found) ? found : nullptr;
}

// Brings the store's open window forward: this process was just started by the person, so
// Windows lets it set the foreground window. False when no window answered in time.
bool RaiseOpenWindow(const std::string& key) {
    for (int i = 0; i < 20; ++i) { // the first may still be loading
        if (HWND window = OpenWindowOf(key)) {
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            // A message box of the window's goes forward in its place.
            SetForegroundWindow(GetLastActivePopup(window));
            return true;
        }
        Sleep(100);
    }
    return false;
}

// Publishes the window for later starts; the block lives as long as the process.
void PublishWindow(const std::string& key, HWND window) {
    HANDLE block =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t),
                           velum::Widen("Local\\" + key + "-window").c_str());
    if (!block)
        return;
    if (auto* value = static_cast<std::uint64_t*>(
            MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t)))) {
        *value = reinterpret_cast<std::uintptr_t>(window);
        UnmapViewOfFile(value);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    std::setlocale(LC_ALL, "");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    velum::Win32Dialogs dialogs;
    // One window per store: each rewrites the catalogue it read at its start. The system
    // releases the mutex of a window that crashed.
    const std::string store = velum::StoreFolder();
    const std::string key = StoreKey(store);
    HANDLE single = CreateMutexW(nullptr, FALSE, velum::Widen("Local\\" + key).c_str());
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (RaiseOpenWindow(key))
            return 0;
        dialogs.ShowMessage("Velum is already open.", velum::kProgramTitle);
        return 1;
    }

    auto registry = velum::CreatePlatformRegistry();
    velum::frmWallPaper form(*registry, dialogs, {store, velum::CurrentFolder()});
    velum::MainWindowWin32 view(form, instance);
    dialogs.owner = view.hwnd();
    view.driver().Complain = [&](const std::string& what) {
        dialogs.ShowMessage(what, velum::kProgramTitle);
    };
    view.onAbout = [&] {
        velum::ShowAboutWindow(view.hwnd(), instance, *registry, dialogs, VELUM_VERSION);
    };
    view.onSessionEnding = [&] { dialogs.answerNoWithoutAsking = true; };

    PublishWindow(key, view.hwnd());

    ShowWindow(view.hwnd(), show);
    UpdateWindow(view.hwnd());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (HWND about = velum::OpenAboutWindow(); about && IsDialogMessageW(about, &msg))
            continue;
        if (view.PreTranslate(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // A save of the run that failed was told; the status says so too.
    return form.saveFailed() ? 1 : 0;
}
