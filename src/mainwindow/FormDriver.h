#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "mainwindow/WindowLayout.h"
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
    // Starts or stops the view's 30-second timer: on while the form wants it and until the exit.
    std::function<void(bool on)> SwitchTimer;
    // File, Exit and Help, About: the view closes its window or shows the About window.
    std::function<void()> Close;
    std::function<void()> About;

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

    // A person's action on the control `name` of WindowControls(), through the form:
    // Click: a button's form call, or an option button chosen; DblClick, Drop, DeleteKey: the
    // control's form call. False when the control has no such event, so the key or click keeps
    // its ordinary meaning.
    bool Raise(const std::string& name, ControlEvent event);
    // A text box's or combo box's text typed.
    void Edit(const std::string& name, const std::string& text);
    // A check box clicked to `on`.
    void Check(const std::string& name, bool on);
    // Entry `index` picked: a combo box's entry, a volume of the drive list, a line of the
    // folder list opened. An index outside the list does nothing.
    void Pick(const std::string& name, int index);
    // A list's selection as the person left it, and its current entry.
    void Select(const std::string& name, const std::vector<bool>& chosen, int current);
    // The focus left the control: its lost-focus step runs when the focus went to another
    // control of this window (not its drop-down, a menu or another program).
    void FocusLeft(const std::string& name, bool toAnotherControlOfThisWindow);
    // A menu entry of WindowMenus() chosen, or its shortcut pressed.
    void Menu(const std::string& name);
    // A menu shortcut ("Del", "Ctrl+S") pressed with the focus on the control `focused`: that
    // control's own meaning of the key first (Del in the rotation list), else the menu's.
    void Shortcut(const std::string& shortcut, const std::string& focused);

  private:
    void RunExitSequence();
    void UpdateTimer();
    ControlState StateOf(const std::string& name);

    frmWallPaper& form_;
    int depth_ = 0;
    bool pendingTick_ = false;
    bool pendingEnd_ = false;
    bool exitDone_ = false;
    bool quit_ = false;
    bool timerOn_ = false;
    std::set<std::string> told_;
};

} // namespace velum
