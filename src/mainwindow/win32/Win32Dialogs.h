#pragma once

#include <windows.h>

#include "common/Dialogs.h"

namespace velum {

// The form's questions and messages as message boxes over the window.
class Win32Dialogs final : public Dialogs {
  public:
    // The window the boxes belong to; null until it exists.
    HWND owner = nullptr;
    // Set when the session ends: no one is left to answer, every question is No and messages
    // go to the debugger's output.
    bool answerNoWithoutAsking = false;

    bool AskYesNo(const std::string& prompt, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
};

} // namespace velum
