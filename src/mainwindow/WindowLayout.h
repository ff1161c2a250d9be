#pragma once

#include <string>
#include <vector>

namespace velum {

// The main window's controls as every view lays them out: positions in twips (15 a pixel at
// 96 dots per inch) from the top left of the client area, below the menu bar.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 7155;
inline constexpr int kClientHeightTwips = 6225;

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

struct ControlLayout {
    std::string name; // the object name: cmdAdd, lstRotateBmps, ...
    ControlKind kind;
    std::string caption; // with '&' before the access key
    std::string tip;     // tooltip, also the accessible name where there is no caption
    std::string frame;   // the frame drawn around it, empty for none
    int left, top, width, height;
};

// Every control of the window in tab order: top to bottom, left to right (the collection, the
// file list, the drive and folder lists, the history, the buttons row by row, the rotation
// list, then the right column). Frames and labels come last: they take no focus.
const std::vector<ControlLayout>& WindowControls();

// The control of that name; throws std::out_of_range for an unknown one.
const ControlLayout& WindowControl(const std::string& name);

// A menu entry: empty name for a separator.
struct MenuEntry {
    std::string name;     // mnuApply, ...
    std::string caption;  // with '&' before the access key
    std::string shortcut; // "Del", "Ctrl+S" or empty
};
struct MenuLayout {
    std::string name, caption;
    std::vector<MenuEntry> entries;
};

// The menu bar: File, Edit, Help.
const std::vector<MenuLayout>& WindowMenus();

} // namespace velum
