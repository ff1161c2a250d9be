#include "mainwindow/WindowLayout.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

#include "mainwindow/frmWallPaper.h"

namespace velum {

namespace {

using K = ControlKind;
using E = ControlEvent;
using F = frmWallPaper;

ControlState StateOf(ComboBox& c) {
    return {.combo = &c};
}
ControlState StateOf(ListBox& c) {
    return {.list = &c};
}
ControlState StateOf(TextBox& c) {
    return {.text = &c};
}
ControlState StateOf(OptionButton& c) {
    return {.option = &c};
}
ControlState StateOf(CheckBox& c) {
    return {.check = &c};
}
ControlState StateOf(DriveListBox& c) {
    return {.drives = &c};
}
ControlState StateOf(DirListBox& c) {
    return {.folders = &c};
}
ControlState StateOf(ImageBox& c) {
    return {.picture = &c};
}
template <auto Member> ControlState Of(frmWallPaper& form) {
    return StateOf(form.*Member);
}

// One row of the table, written as its name, kind and rectangle, then what it has.
class Row {
  public:
    Row(const char* name, K kind, int left, int top, int width, int height) {
        c_.name = name;
        c_.kind = kind;
        c_.left = left;
        c_.top = top;
        c_.width = width;
        c_.height = height;
    }
    Row& Caption(const char* text) {
        c_.caption = text;
        return *this;
    }
    Row& Tip(const char* text) {
        c_.tip = text;
        return *this;
    }
    Row& Spoken(const char* text) {
        c_.spoken = text;
        return *this;
    }
    Row& In(const char* frame) {
        c_.frame = frame;
        return *this;
    }
    Row& HoldsNoControls() {
        c_.holdsControls = false;
        return *this;
    }
    Row& Names(const char* control) {
        c_.labelFor = control;
        return *this;
    }
    Row& DragsTo(const char* control) {
        c_.dropTarget = control;
        return *this;
    }
    template <auto Member> Row& State() {
        c_.state = &Of<Member>;
        return *this;
    }
    Row& On(ControlEvent event, FormCall call) {
        c_.events.push_back({event, call});
        return *this;
    }
    operator ControlLayout() const { return c_; }

  private:
    ControlLayout c_;
};

} // namespace

FormCall ControlLayout::CallOn(ControlEvent event) const {
    for (const auto& e : events)
        if (e.event == event)
            return e.call;
    return nullptr;
}

bool ControlLayout::TakesFocus() const {
    return kind != K::Frame && kind != K::Label && kind != K::Picture;
}

const std::vector<ControlLayout>& WindowControls() {
    static const std::vector<ControlLayout> controls = {
        Row("cmbCollection", K::Combo, 1680, 120, 3135, 315)
            .Spoken("Collection")
            .State<&F::cmbCollection>()
            .On(E::LostFocus, &F::cmbCollection_LostFocus),
        Row("filWinBmps", K::List, 120, 480, 2295, 1845)
            .Tip("Right-Click to Drag")
            .Spoken("Bitmap files")
            .DragsTo("lstRotateBmps")
            .State<&F::filWinBmps>()
            .On(E::DblClick, &F::filWinBmps_DblClick),
        Row("Drive1", K::DriveList, 2520, 480, 2295, 315).Spoken("Drive").State<&F::Drive1>(),
        Row("Dir1", K::FolderList, 2520, 840, 2295, 1440)
            .Tip("Find directory containing bmp files")
            .Spoken("Folders")
            .State<&F::Dir1>(),
        Row("cmbLastBmps", K::Combo, 120, 2760, 4335, 315)
            .Spoken("Previous Bitmaps")
            .State<&F::cmbLastBmps>()
            .On(E::DblClick, &F::cmbLastBmps_DblClick),
        Row("cmdAdd", K::Button, 360, 3120, 1200, 300)
            .Caption("A&dd")
            .On(E::Click, &F::cmdAdd_click),
        Row("cmdRemove", K::Button, 1680, 3120, 1200, 300)
            .Caption("&Remove")
            .On(E::Click, &F::cmdRemove_click),
        Row("cmdUpdate", K::Button, 3000, 3120, 1200, 300)
            .Caption("&Next")
            .On(E::Click, &F::cmdUpdate_click),
        Row("cmdAddAll", K::Button, 360, 3480, 1200, 300)
            .Caption("Add A&ll")
            .On(E::Click, &F::cmdAddAll_click),
        Row("cmdRemoveAll", K::Button, 1680, 3480, 1200, 300)
            .Caption("Re&move All")
            .On(E::Click, &F::cmdRemoveAll_click),
        Row("cmdApply", K::Button, 3000, 3480, 1200, 300)
            .Caption("&Apply")
            .On(E::Click, &F::cmdApply_click),
        Row("lstRotateBmps", K::List, 120, 4080, 4695, 3090)
            .Tip("Drop here!")
            .Spoken("Bitmaps to cycle")
            .State<&F::lstRotateBmps>()
            .On(E::DblClick, &F::lstRotateBmps_DblClick)
            .On(E::Drop, &F::lstRotateBmps_DragDrop)
            // Del removes the bitmaps selected here, not the whole collection.
            .On(E::DeleteKey, &F::cmdRemove_click),
        Row("optTile", K::Option, 5160, 240, 1215, 255)
            .Caption("Tile")
            .In("Frame1")
            .State<&F::optTile>(),
        Row("optCenter", K::Option, 5160, 600, 1215, 255)
            .Caption("Center")
            .In("Frame1")
            .State<&F::optCenter>(),
        Row("optNone", K::Option, 5160, 960, 1215, 255)
            .Caption("None")
            .In("Frame1")
            .State<&F::optNone>(),
        Row("optFill", K::Option, 5160, 1320, 1215, 255)
            .Caption("F&ill")
            .In("Frame1")
            .State<&F::optFill>(),
        Row("optFit", K::Option, 5160, 1680, 1215, 255)
            .Caption("Fi&t")
            .In("Frame1")
            .State<&F::optFit>(),
        Row("optStretch", K::Option, 5160, 2040, 1215, 255)
            .Caption("&Stretch")
            .In("Frame1")
            .State<&F::optStretch>(),
        Row("chkAutoView", K::CheckBox, 5040, 2640, 1335, 195)
            .Caption("Preview")
            .Tip("Preview the bitmap")
            .State<&F::chkAutoView>(),
        Row("txtDays", K::TextBox, 5280, 5040, 375, 285)
            .Tip("Days")
            .Spoken("Days")
            .In("Frame2")
            .State<&F::txtDays>(),
        Row("txtHours", K::TextBox, 5760, 5040, 375, 285)
            .Tip("Hours")
            .Spoken("Hours")
            .In("Frame2")
            .State<&F::txtHours>(),
        Row("txtMinutes", K::TextBox, 6240, 5040, 375, 285)
            .Tip("Minutes")
            .Spoken("Minutes")
            .In("Frame2")
            .State<&F::txtMinutes>(),
        Row("optAscending", K::Option, 5160, 6120, 1695, 255)
            .Caption("Ascending")
            .In("frmCycle")
            .State<&F::optAscending>(),
        Row("optDescending", K::Option, 5160, 6480, 1815, 255)
            .Caption("Descending")
            .In("frmCycle")
            .State<&F::optDescending>(),
        Row("optRandom", K::Option, 5160, 6840, 1815, 255)
            .Caption("Random")
            .In("frmCycle")
            .State<&F::optRandom>(),
        Row("imgThumb", K::Picture, 5040, 2880, ImageBox::kThumbWidth, ImageBox::kThumbHeight)
            .Tip("Double-Click to Change Size")
            .Spoken("Preview picture")
            .State<&F::imgThumb>()
            .On(E::DblClick, &F::imgThumb_DblClick),
        // The style buttons lie inside this frame but belong to the window.
        Row("Frame1", K::Frame, 5040, 0, 2055, 2415).Caption("Wallpaper Style").HoldsNoControls(),
        Row("Frame2", K::Frame, 5040, 4440, 2055, 975)
            .Caption("Cycle Frequency")
            .Tip("How often to change wallpaper"),
        Row("frmCycle", K::Frame, 5040, 5880, 2055, 1335).Caption("Cycle Order"),
        Row("Label6", K::Label, 720, 120, 855, 255).Caption("Collection:").Names("cmbCollection"),
        Row("Label2", K::Label, 120, 2520, 2175, 255)
            .Caption("Previous Bitmaps:")
            .Names("cmbLastBmps"),
        Row("Label5", K::Label, 240, 3840, 1695, 255)
            .Caption("Bitmaps to cycle:")
            .Names("lstRotateBmps"),
        Row("Label7", K::Label, 5280, 4800, 375, 255)
            .Caption("D")
            .Tip("Days")
            .In("Frame2")
            .Names("txtDays"),
        Row("Label3", K::Label, 5760, 4800, 375, 255)
            .Caption("H")
            .Tip("Hours")
            .In("Frame2")
            .Names("txtHours"),
        Row("Label4", K::Label, 6240, 4800, 375, 255)
            .Caption("M")
            .Tip("Minutes")
            .In("Frame2")
            .Names("txtMinutes"),
    };
    return controls;
}

const ControlLayout* FindControl(const std::string& name) {
    static const std::unordered_map<std::string, const ControlLayout*> byName = [] {
        std::unordered_map<std::string, const ControlLayout*> map;
        for (const auto& c : WindowControls())
            map[c.name] = &c;
        return map;
    }();
    auto found = byName.find(name);
    return found == byName.end() ? nullptr : found->second;
}

const ControlLayout* LabelOf(const std::string& name) {
    for (const auto& c : WindowControls())
        if (c.kind == ControlKind::Label && c.labelFor == name)
            return &c;
    return nullptr;
}

std::string AnnotatedName(const ControlLayout& c) {
    if (c.spoken.empty() || !c.caption.empty())
        return {};
    if (const ControlLayout* label = LabelOf(c.name)) {
        std::string said = label->caption;
        said.erase(std::remove(said.begin(), said.end(), '&'), said.end());
        if (!said.empty() && said.back() == ':')
            said.pop_back();
        if (said == c.spoken)
            return {};
    }
    return c.spoken;
}

const ControlLayout& WindowControl(const std::string& name) {
    if (const ControlLayout* c = FindControl(name))
        return *c;
    throw std::out_of_range("no control " + name);
}

const std::vector<MenuLayout>& WindowMenus() {
    static const std::vector<MenuLayout> menus = {
        {"mnuFile",
         "&File",
         {{"mnuApply", "&Apply Selected Bitmap", "", &F::mnuApply_Click},
          {"mnuNext", "Apply &Next Bitmap", "", &F::mnuNext_Click},
          {},
          // A text field takes Del for its text, and the rotation list for its selection,
          // before this entry's key does; a click on the entry always deletes the collection.
          {"mnuDelete", "&Delete", "Del", &F::mnuDelete_Click},
          {},
          {"mnuSave", "&Save", "Ctrl+S", &F::mnuSave_Click},
          {},
          {"mnuExit", "E&xit", "", nullptr, MenuCommand::Exit}}},
        {"mnuEdit",
         "&Edit",
         {{"mnuAdd", "&Add selected to list", "", &F::mnuAdd_Click},
          {"mnuAddAll", "Add A&ll to list", "", &F::mnuAddAll_Click},
          {"mnuRemove", "&Remove selected from list", "", &F::mnuRemove_Click},
          {"mnuRemoveAll", "Remo&ve All from list", "", &F::mnuRemoveAll_Click}}},
        {"mnuHelp", "&Help", {{"mnuAbout", "&About", "", nullptr, MenuCommand::About}}},
    };
    return menus;
}

const MenuEntry* WindowMenuEntry(const std::string& name) {
    for (const auto& menu : WindowMenus())
        for (const auto& entry : menu.entries)
            if (!entry.name.empty() && entry.name == name)
                return &entry;
    return nullptr;
}

} // namespace velum
