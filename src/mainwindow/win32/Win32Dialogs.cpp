#include "mainwindow/win32/Win32Dialogs.h"

namespace velum {

bool Win32Dialogs::AskYesNo(const std::string& prompt, const std::string& caption) {
    if (answerNoWithoutAsking)
        return false;
    // Yes is the default button, as the question has always had it.
    return MessageBoxA(owner, prompt.c_str(), caption.c_str(), MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

void Win32Dialogs::ShowMessage(const std::string& text, const std::string& caption) {
    if (answerNoWithoutAsking) {
        OutputDebugStringA(("velumdesk: " + text + "\n").c_str());
        return;
    }
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK);
}

} // namespace velum
