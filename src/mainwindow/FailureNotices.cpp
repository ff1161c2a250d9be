#include "mainwindow/FailureNotices.h"

namespace velum {

void FailureNotices::Report(StoreFile file, const std::string& what, const IoFailure& e) {
    anyFailed_ = true;
    if (failing_.insert(file).second)
        dialogs_.ShowMessage(what + "\n\n" + e.what(), kProgramTitle);
}

bool FailureNotices::Write(StoreFile file, const std::string& what,
                           const std::function<void()>& write) {
    return Run(file, what, write, false);
}

bool FailureNotices::WriteAsked(StoreFile file, const std::string& what,
                                const std::function<void()>& write) {
    return Run(file, what, write, true);
}

bool FailureNotices::Run(StoreFile file, const std::string& what,
                         const std::function<void()>& write, bool asked) {
    try {
        write();
    } catch (const IoFailure& e) {
        if (asked)
            failing_.erase(file);
        Report(file, what, e);
        return false;
    }
    failing_.erase(file);
    return true;
}

} // namespace velum
