#pragma once

#include <functional>
#include <set>
#include <string>

#include "common/Dialogs.h"
#include "common/IoFailure.h"

namespace velum {

// The files of the store a failure is told about. A read of velum.cfg is told apart from its
// writes, and once a run: no write clears it.
enum class StoreFile { Settings, Config, ConfigRead };

// Puts a failed read or write of the store before the person, once until a write of that file
// succeeds again: a tick every 30 seconds, or the pair of wallpaper calls, must not pile up
// boxes for one cause.
class FailureNotices {
  public:
    explicit FailureNotices(Dialogs& dialogs) : dialogs_(dialogs) {}

    // Tells `what` and the system's reason.
    void Report(StoreFile file, const std::string& what, const IoFailure& e);
    // Runs a write of `file`; a failure is reported. True when it succeeded.
    bool Write(StoreFile file, const std::string& what, const std::function<void()>& write);
    // A save the person asked for (Save, Yes to a question): its failure is told every time,
    // since the person expects an answer to this save, whatever was told before.
    bool WriteAsked(StoreFile file, const std::string& what, const std::function<void()>& write);
    // True once a read or write has failed in this run.
    bool AnyFailed() const { return anyFailed_; }

  private:
    bool Run(StoreFile file, const std::string& what, const std::function<void()>& write,
             bool asked);

    Dialogs& dialogs_;
    bool anyFailed_ = false;
    std::set<StoreFile> failing_;
};

} // namespace velum
