#include "mainwindow/FormDriver.h"

#include <exception>
#include <stdexcept>

namespace velum {

void FormDriver::Run(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (const std::exception& e) {
        // A fault no handler expected: told once, and the window goes on.
        if (Complain && told_.insert(e.what()).second)
            Complain(e.what());
    }
    --depth_;
    if (depth_ > 0)
        return;
    if (Sync)
        Sync();
    UpdateTimer();
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

void FormDriver::UpdateTimer() {
    const bool want = form_.TimerEnabled && !exitDone_;
    if (want == timerOn_)
        return;
    timerOn_ = want;
    if (SwitchTimer)
        SwitchTimer(want);
}

ControlState FormDriver::StateOf(const std::string& name) {
    const ControlLayout* c = FindControl(name);
    return c && c->state ? c->state(form_) : ControlState{};
}

bool FormDriver::Raise(const std::string& name, ControlEvent event) {
    const ControlLayout* c = FindControl(name);
    if (!c)
        return false;
    if (event == ControlEvent::Click && c->kind == ControlKind::Option) {
        OptionButton* option = StateOf(name).option;
        Run([option] { option->Choose(); });
        return true;
    }
    const FormCall call = c->CallOn(event);
    if (!call)
        return false;
    Run([this, call] { (form_.*call)(); });
    return true;
}

void FormDriver::Edit(const std::string& name, const std::string& text) {
    const ControlState s = StateOf(name);
    if (s.text)
        Run([&] { s.text->SetText(text); });
    else if (s.combo)
        Run([&] { s.combo->SetText(text); });
}

void FormDriver::Check(const std::string& name, bool on) {
    if (CheckBox* box = StateOf(name).check)
        Run([box, on] { box->SetValue(on ? 1 : 0); });
}

void FormDriver::Pick(const std::string& name, int index) {
    const ControlState s = StateOf(name);
    if (index < 0)
        return;
    const auto i = static_cast<std::size_t>(index);
    if (s.combo && index < s.combo->ListCount())
        Run([&] { s.combo->SetListIndex(index); });
    else if (s.drives && i < s.drives->volumes.size())
        Run([&, volume = s.drives->volumes[i]] { s.drives->SetDrive(volume); });
    else if (s.folders)
        Run([&] { s.folders->Open(index); });
}

void FormDriver::Select(const std::string& name, const std::vector<bool>& chosen, int current) {
    ListBox* list = StateOf(name).list;
    if (!list || static_cast<int>(chosen.size()) != list->ListCount())
        return; // the view shows another list than the form holds
    Run([&] {
        list->SetSelection([&](int i) { return chosen[static_cast<std::size_t>(i)]; }, current);
    });
}

void FormDriver::FocusLeft(const std::string& name, bool toAnotherControlOfThisWindow) {
    if (toAnotherControlOfThisWindow && !exitDone_)
        Raise(name, ControlEvent::LostFocus);
}

void FormDriver::Menu(const std::string& name) {
    const MenuEntry* entry = WindowMenuEntry(name);
    if (!entry)
        return;
    switch (entry->command) {
    case MenuCommand::Exit:
        if (Close)
            Close();
        break;
    case MenuCommand::About:
        if (About)
            About();
        break;
    case MenuCommand::Form:
        if (entry->call)
            Run([this, call = entry->call] { (form_.*call)(); });
        break;
    }
}

void FormDriver::Shortcut(const std::string& shortcut, const std::string& focused) {
    if (shortcut == "Del" && !focused.empty() && Raise(focused, ControlEvent::DeleteKey))
        return;
    for (const auto& menu : WindowMenus())
        for (const auto& entry : menu.entries)
            if (!entry.name.empty() && entry.shortcut == shortcut)
                return Menu(entry.name);
}

} // namespace velum
