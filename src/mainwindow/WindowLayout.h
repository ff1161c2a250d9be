#pragma once

#include <string>
#include <vector>

#include "mainwindow/Controls.h"

namespace velum {

class frmWallPaper;

// The main window as every view builds it: each control and menu entry, what it shows and the
// form call each of its events makes. A view loops over this table to build its controls and
// dispatches every event through FormDriver by the control's name; it holds only drawing.
// Positions are in twips (15 a pixel at 96 dots per inch) from the top left of the client area,
// below the menu bar.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 7155;
inline constexpr int kClientHeightTwips = 7305;

enum class ControlKind {
    Button,
    Label,
    Option,
    TextBox,
    Combo,
    DriveList,
    FolderList,
    List,
    Frame,
    CheckBox,
    Picture
};

// The events of a control that call a handler of the form. The others (a text typed, an entry
// picked, a selection, an option or check box clicked) change the control's state, whose own
// handler runs: see FormDriver.
enum class ControlEvent { Click, DblClick, Drop, DeleteKey, LostFocus };

using FormCall = void (frmWallPaper::*)();

struct EventCall {
    ControlEvent event;
    FormCall call;
};

// The form's state behind a control: the one pointer its kind uses.
struct ControlState {
    ComboBox* combo = nullptr;
    ListBox* list = nullptr;
    TextBox* text = nullptr;
    OptionButton* option = nullptr;
    CheckBox* check = nullptr;
    DriveListBox* drives = nullptr;
    DirListBox* folders = nullptr;
    ImageBox* picture = nullptr;
};

struct ControlLayout {
    std::string name; // the object name: cmdAdd, lstRotateBmps, ...
    ControlKind kind = ControlKind::Label;
    int left = 0, top = 0, width = 0, height = 0;
    std::string caption;       // with '&' before the access key
    std::string tip;           // tooltip
    std::string spoken;        // what a screen reader calls it, where no label or caption says it
    std::string frame;         // the frame drawn around it, empty for none
    bool holdsControls = true; // a frame: false when the controls in it belong to the window
    std::string labelFor;      // a label: the control it names
    std::string dropTarget;    // a list that bitmaps are dragged from: where they may be dropped
    ControlState (*state)(frmWallPaper&) = nullptr;
    std::vector<EventCall> events;

    // The form call of `event`; null when the control has none.
    FormCall CallOn(ControlEvent event) const;
    // True for the controls the focus can go to.
    bool TakesFocus() const;
};

// Every control of the window in tab order: top to bottom, left to right (the collection, the
// file list, the drive and folder lists, the history, the buttons row by row, the rotation
// list, then the right column). Frames and labels come last: they take no focus.
const std::vector<ControlLayout>& WindowControls();

// The control of that name; throws std::out_of_range for an unknown one.
const ControlLayout& WindowControl(const std::string& name);
// The control of that name; null for an unknown one.
const ControlLayout* FindControl(const std::string& name);
// The label that names the control of that name; null when none does.
const ControlLayout* LabelOf(const std::string& name);
// The spoken name of a control that has no text of its own, where its label says something else
// ("D" for "Days") or there is no label; empty where the caption or the label says it already.
std::string AnnotatedName(const ControlLayout& c);

// What a menu entry does beyond a form call: the view closes the window or shows About.
enum class MenuCommand { Form, Exit, About };

// A menu entry: empty name for a separator.
struct MenuEntry {
    std::string name;     // mnuApply, ...
    std::string caption;  // with '&' before the access key
    std::string shortcut; // "Del", "Ctrl+S" or empty
    FormCall call = nullptr;
    MenuCommand command = MenuCommand::Form;
};
struct MenuLayout {
    std::string name, caption;
    std::vector<MenuEntry> entries;
};

// The menu bar: File, Edit, Help.
const std::vector<MenuLayout>& WindowMenus();

// The menu entry of that name; null for an unknown one.
const MenuEntry* WindowMenuEntry(const std::string& name);

} // namespace velum
