#pragma once

#include <QPointer>
#include <string>

#include "common/Dialogs.h"

class QMessageBox;

namespace velum {

// The form's questions and messages as Qt message boxes without an icon.
class QtDialogs final : public Dialogs {
  public:
    // Set when the session ends and no one is left to answer: every question is answered No
    // and messages go to the error stream.
    bool answerNoWithoutAsking = false;

    // Yes and No, Yes the default.
    bool AskYesNo(const std::string& prompt, const std::string& caption) override;
    // OK only.
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Answers the box on the screen, if any, as if No (or OK) had been chosen.
    void AnswerOpenBox();

  private:
    QPointer<QMessageBox> open_;
};

} // namespace velum
