#include "mainwindow/FormDriver.h"

#include <exception>

namespace velum {

void FormDriver::Run(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (const std::exception& e) {
        if (Complain)
            Complain(e.what());
    }
    --depth_;
    if (depth_ > 0)
        return;
    if (Sync)
        Sync();
    if (pendingEnd_) {
        pendingEnd_ = false;
        End();
    } else if (pendingTick_) {
        pendingTick_ = false;
        Tick();
    }
}

void FormDriver::Tick() {
    if (exitDone_)
        return; // what a tick changed after the exit would not be saved
    if (depth_ > 0) {
        pendingTick_ = true;
        return;
    }
    if (form_.TimerEnabled)
        Run([this] { form_.Timer1_Timer(); });
}

bool FormDriver::End() {
    if (depth_ > 0) {
        pendingEnd_ = true;
        if (CancelModal)
            CancelModal();
        return false;
    }
    RunExitSequence();
    if (!quit_) {
        quit_ = true;
        if (Quit)
            Quit();
    }
    return true;
}

void FormDriver::EndNow() {
    pendingEnd_ = false;
    pendingTick_ = false;
    RunExitSequence();
    if (!quit_) {
        quit_ = true;
        if (Quit)
            Quit();
    }
}

void FormDriver::RunExitSequence() {
    if (exitDone_)
        return;
    exitDone_ = true;
    Run([this] { form_.Form_Unload(); });
}

void FormDriver::SelectorFocusMoved(bool toAnotherControlOfThisWindow) {
    if (toAnotherControlOfThisWindow && !exitDone_)
        Run([this] { form_.cmbCollection_LostFocus(); });
}

} // namespace velum
