#include "cycler/CyclerDialogs.h"

#include <windows.h>

#include "common/WideText.h"

namespace velum {

namespace {

constexpr char kTitle[] = "velumspin";

class MessageBoxDialogs final : public Dialogs {
  public:
    bool AskYesNo(const std::string& prompt, const std::string& caption) override {
        return Show(prompt, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        Show(text, caption, MB_OK);
    }

  private:
    static int Show(const std::string& text, const std::string& caption, UINT style) {
        // No window of ours is on the screen, so the box must not hide behind others.
        return MessageBoxW(nullptr, Widen(text).c_str(),
                           Widen(caption.empty() ? kTitle : caption).c_str(),
                           style | MB_SETFOREGROUND | MB_TASKMODAL);
    }
};

} // namespace

std::unique_ptr<Dialogs> CreateCyclerDialogs() {
    return std::make_unique<MessageBoxDialogs>();
}

} // namespace velum
