#pragma once

#include <iosfwd>
#include <string>

#include "common/Dialogs.h"

namespace velum {

// Dialogs for a program with no window: each message is one line on the error stream, and no
// question is ever answered Yes.
class ConsoleDialogs final : public Dialogs {
  public:
    ConsoleDialogs(std::ostream& out, std::string program)
        : out_(out), program_(std::move(program)) {}
    bool AskYesNo(const std::string& prompt, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

  private:
    std::ostream& out_;
    std::string program_;
};

} // namespace velum
