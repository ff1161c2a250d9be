#pragma once

#include <functional>

#include "mainwindow/frmWallPaper.h"

namespace velum {

// What every view of the form does that is not drawing, once for all views: events reach the
// form one at a time, the controls are drawn again after each outermost handler, a timer tick
// or an end that arrives while a handler runs (a question on screen, a drag) waits until the
// outermost handler returns, and the exit sequence runs exactly once.
class FormDriver {
  public:
    explicit FormDriver(frmWallPaper& form) : form_(form) {}
    FormDriver(const FormDriver&) = delete;
    FormDriver& operator=(const FormDriver&) = delete;

    // Draws every control from the form; called after each outermost handler.
    std::function<void()> Sync;
    // Called once the exit sequence has run, to end the program.
    std::function<void()> Quit;
    // Called when an end arrives during a handler: ends a modal loop the view can end (a drag).
    std::function<void()> CancelModal;
    // Tells what a handler threw; the window goes on.
    std::function<void(const std::string&)> Complain;

    // Runs a handler of the form; a failure it lets escape is told, never ends the program.
    void Run(const std::function<void()>& handler);
    // Timer1's tick: the form's timer handler, now or when the running handler returns.
    void Tick();
    // A close, File, Exit or the end of the session: the exit sequence, now or when the
    // running handler returns, then Quit. True when it ran now.
    bool End();
    // The end of a session whose process may end as soon as this returns (Windows'
    // WM_ENDSESSION): the exit sequence at once, even below a running handler, then Quit.
    void EndNow();
    // True while a handler runs.
    bool Busy() const { return depth_ > 0; }
    // True once the exit sequence has run: nothing the form does after it would be saved.
    bool Ended() const { return exitDone_; }

    // The selector's lost-focus step: runs it when the focus left the collection selector for
    // another control of this window (not its drop-down, a menu or another program).
    void SelectorFocusMoved(bool toAnotherControlOfThisWindow);

  private:
    void RunExitSequence();

    frmWallPaper& form_;
    int depth_ = 0;
    bool pendingTick_ = false;
    bool pendingEnd_ = false;
    bool exitDone_ = false;
    bool quit_ = false;
};

} // namespace velum
