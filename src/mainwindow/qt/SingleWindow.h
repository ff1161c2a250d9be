#pragma once

#include <functional>
#include <string>

class QSocketNotifier;

namespace velum {

// One window per store: the first velumdesk on a store holds a lock in the store's folder and
// listens for later starts, which ask it to come forward and end. Each window rewrites the
// catalogue it read at its start, so a second one would undo the first one's saves.
class SingleWindow {
  public:
    enum class Outcome {
        First,     // no other window on this store: this one goes on
        Raised,    // the open window was asked to come forward
        Unreached, // a window holds the store but did not answer
    };

    explicit SingleWindow(const std::string& storeFolder);
    ~SingleWindow();
    SingleWindow(const SingleWindow&) = delete;
    SingleWindow& operator=(const SingleWindow&) = delete;

    Outcome outcome() const { return outcome_; }
    // Called in the first window when a later start asks it to come forward.
    std::function<void()> onRaise;

  private:
    bool TakeLock();
    bool Listen();
    bool AskOpenWindow();
    void Answer();

    std::string name_; // the abstract socket's name, without its leading zero byte
    int lock_ = -1;
    int listener_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    Outcome outcome_ = Outcome::First;
};

} // namespace velum
