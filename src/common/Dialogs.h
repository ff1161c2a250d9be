#pragma once

#include <string>

namespace velum {

// The title of every window and message box of the programs.
inline constexpr char kProgramTitle[] = "Velum";

// The questions and messages the form puts before the person.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A Yes/No question with Yes as the default; true when the answer is Yes.
    virtual bool AskYesNo(const std::string& prompt, const std::string& caption) = 0;
    // A message with an OK button only.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

} // namespace velum
