#include "mainwindow/WindowLayout.h"

#include <stdexcept>

#include "mainwindow/Controls.h"

namespace velum {

const std::vector<ControlLayout>& WindowControls() {
    using K = ControlKind;
    static const std::vector<ControlLayout> controls = {
        {"cmbCollection", K::Combo, "", "Collection", "", 1680, 120, 3135, 315},
        {"filWinBmps", K::List, "", "Right-Click to Drag", "", 120, 480, 2295, 1845},
        {"Drive1", K::DriveList, "", "Drive", "", 2520, 480, 2295, 315},
        {"Dir1", K::FolderList, "", "Find directory containing bmp files", "", 2520, 840, 2295,
         1440},
        {"cmbLastBmps", K::Combo, "", "Previous Bitmaps", "", 120, 2760, 4335, 315},
        {"cmdAdd", K::Button, "A&dd", "", "", 360, 3120, 1200, 300},
        {"cmdRemove", K::Button, "&Remove", "", "", 1680, 3120, 1200, 300},
        {"cmdUpdate", K::Button, "&Next", "", "", 3000, 3120, 1200, 300},
        {"cmdAddAll", K::Button, "Add A&ll", "", "", 360, 3480, 1200, 300},
        {"cmdRemoveAll", K::Button, "Re&move All", "", "", 1680, 3480, 1200, 300},
        {"cmdApply", K::Button, "&Apply", "", "", 3000, 3480, 1200, 300},
        {"lstRotateBmps", K::List, "", "Drop here!", "", 120, 4080, 4695, 2010},
        {"optTile", K::Option, "Tile", "", "Frame1", 5160, 240, 1215, 255},
        {"optCenter", K::Option, "Center", "", "Frame1", 5160, 600, 1215, 255},
        {"optNone", K::Option, "None", "", "Frame1", 5160, 960, 1215, 255},
        {"chkAutoView", K::CheckBox, "Preview", "Preview the bitmap", "", 5040, 1560, 1335, 195},
        {"txtDays", K::TextBox, "", "Days", "Frame2", 5280, 3960, 375, 285},
        {"txtHours", K::TextBox, "", "Hours", "Frame2", 5760, 3960, 375, 285},
        {"txtMinutes", K::TextBox, "", "Minutes", "Frame2", 6240, 3960, 375, 285},
        {"optAscending", K::Option, "Ascending", "", "frmCycle", 5160, 5040, 1695, 255},
        {"optDescending", K::Option, "Descending", "", "frmCycle", 5160, 5400, 1815, 255},
        {"optRandom", K::Option, "Random", "", "frmCycle", 5160, 5760, 1815, 255},
        {"imgThumb", K::Picture, "", "Double-Click to Change Size", "", 5040, 1800,
         ImageBox::kThumbWidth, ImageBox::kThumbHeight},
        {"Frame1", K::Frame, "Wallpaper Style", "", "", 5040, 0, 2055, 1335},
        {"Frame2", K::Frame, "Cycle Frequency", "How often to change wallpaper", "", 5040, 3360,
         2055, 975},
        {"frmCycle", K::Frame, "Cycle Order", "", "", 5040, 4800, 2055, 1335},
        {"Label6", K::Label, "Collection:", "", "", 720, 120, 855, 255},
        {"Label2", K::Label, "Previous Bitmaps:", "", "", 120, 2520, 2175, 255},
        {"Label5", K::Label, "Bitmaps to cycle:", "", "", 240, 3840, 1695, 255},
        {"Label7", K::Label, "D", "Days", "Frame2", 5280, 3720, 375, 255},
        {"Label3", K::Label, "H", "Hours", "Frame2", 5760, 3720, 375, 255},
        {"Label4", K::Label, "M", "Minutes", "Frame2", 6240, 3720, 375, 255},
    };
    return controls;
}

const ControlLayout& WindowControl(const std::string& name) {
    for (const auto& c : WindowControls())
        if (c.name == name)
            return c;
    throw std::out_of_range("no control " + name);
}

const std::vector<MenuLayout>& WindowMenus() {
    static const std::vector<MenuLayout> menus = {
        {"mnuFile",
         "&File",
         {{"mnuApply", "&Apply Selected Bitmap", ""},
          {"mnuNext", "Apply &Next Bitmap", ""},
          {"", "", ""},
          {"mnuDelete", "&Delete", "Del"},
          {"", "", ""},
          {"mnuSave", "&Save", "Ctrl+S"},
          {"", "", ""},
          {"mnuExit", "E&xit", ""}}},
        {"mnuEdit",
         "&Edit",
         {{"mnuAdd", "&Add selected to list", ""},
          {"mnuAddAll", "Add A&ll to list", ""},
          {"mnuRemove", "&Remove selected from list", ""},
          {"mnuRemoveAll", "Remo&ve All from list", ""}}},
        {"mnuHelp", "&Help", {{"mnuAbout", "&About", ""}}},
    };
    return menus;
}

} // namespace velum
