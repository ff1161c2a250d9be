#include "mainwindow/win32/Win32Dialogs.h"

#include "common/WideText.h"

namespace velum {

bool Win32Dialogs::AskYesNo(const std::string& prompt, const std::string& caption) {
    if (answerNoWithoutAsking)
        return false;
    // Yes is the default button, as the question has always had it.
    return MessageBoxW(owner, Widen(prompt).c_str(), Widen(caption).c_str(),
                       MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

void Win32Dialogs::ShowMessage(const std::string& text, const std::string& caption) {
    if (answerNoWithoutAsking) {
        OutputDebugStringW(Widen("velumdesk: " + text + "\n").c_str());
        return;
    }
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
}

} // namespace velum
