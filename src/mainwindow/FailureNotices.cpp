#include "mainwindow/FailureNotices.h"

namespace velum {

void FailureNotices::Report(StoreFile file, const std::string& what, const IoFailure& e) {
    anyFailed_ = true;
    if (failing_.insert(file).second)
        dialogs_.ShowMessage(what + "\n\n" + e.what(), kProgramTitle);
}

bool FailureNotices::Write(StoreFile file, const std::string& what,
                           const std::function<void()>& write) {
    try {
        write();
    } catch (const IoFailure& e) {
        Report(file, what, e);
        return false;
    }
    failing_.erase(file);
    return true;
}

} // namespace velum
