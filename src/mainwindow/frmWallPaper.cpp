#include "mainwindow/frmWallPaper.h"

#include <unordered_set>

#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/Numbers.h"
#include "common/RegistrySettings.h"
#include "engine/PictureFile.h"
#include "engine/Scheduler.h"

namespace velum {

namespace {

// Each style button and the code it stands for.
struct StyleOption {
    std::int16_t code;
    OptionButton frmWallPaper::*button;
};
constexpr StyleOption kStyleOptions[] = {
    {style::kTile, &frmWallPaper::optTile}, {style::kCenter, &frmWallPaper::optCenter},
    {style::kNone, &frmWallPaper::optNone}, {style::kFill, &frmWallPaper::optFill},
    {style::kFit, &frmWallPaper::optFit},   {style::kStretch, &frmWallPaper::optStretch},
};

} // namespace

frmWallPaper::frmWallPaper(Registry& registry, Dialogs& dialogs, FormPlaces places, FormRole role)
    : registry_(registry), dialogs_(dialogs), places_(std::move(places)), role_(role) {
    // Center and Ascending, as WallpaperStyle and CycleOrder start.
    styleGroup.Preset(optCenter);
    orderGroup.Preset(optAscending);
    cmbCollection.Click = [this] { cmbCollection_Click(); };
    cmbLastBmps.Click = [this] { cmbLastBmps_Click(); };
    lstRotateBmps.Click = [this] { lstRotateBmps_Click(); };
    txtDays.Change = [this] { txtDays_Change(); };
    txtHours.Change = [this] { txtHours_Change(); };
    txtMinutes.Change = [this] { txtMinutes_Change(); };
    for (const StyleOption& o : kStyleOptions)
        (this->*o.button).Click = [this, code = o.code] { StyleClicked(code); };
    for (std::int16_t code : {order::kAscending, order::kRandom, order::kDescending})
        OrderButton(code).Click = [this, code] { OrderClicked(code); };
    chkAutoView.Click = [this] { chkAutoView_Click(); };
    filWinBmps.Click = [this] { filWinBmps_Click(); };
    Drive1.Change = [this] { Drive1_Change(); };
    Dir1.Change = [this] { Dir1_Change(); };
    ownDesktop_ = CreatePlatformDesktop(registry_);
    ownClock_ = CreateSystemClock();
    ownRandom_ = CreateClockRandom();
    desktop_ = ownDesktop_.get();
    clock_ = ownClock_.get();
    random_ = ownRandom_.get();
    LoadPicture = [](const std::string& path) {
        const std::optional<PictureFile> file = PictureFile::Open(path);
        return file && file->Decodes();
    };
}

// ---- start-up and exit

void frmWallPaper::Form_Load() {
    InitBrowser();
    LoadViewBmp();
    LoadCurrentCollection();
}

void frmWallPaper::CycleOnce() {
    LoadCurrentCollection();
    if (settingsUnreadable_)
        return; // the current collection is unknown: nothing is applied or recorded
    const bool cycles = lstRotateBmps.ListCount() > 0;
    ApplyNextBmp(); // writes the position it moved to
    if (!cycles)
        SaveBmpCombo();
}

void frmWallPaper::LoadCurrentCollection() {
    if (const std::string why = registry_.ReadFailure(); !why.empty()) {
        settingsUnreadable_ = true;
        notices_.Report(StoreFile::Settings,
                        "The settings could not be read; they are left as they are.",
                        IoFailure(why));
    }
    LoadCollectionNames();
    LoadTileSetting(cmbCollection.Text());
    CollectionDirty = false;
}

void frmWallPaper::SaveSettings(bool asked) {
    if (!role_.savesSettings || settingsUnreadable_)
        return;
    auto write = [this] {
        SaveOptions(registry_, chkAutoView.Value(), CollectionsList, cmbCollection.Text());
    };
    if (asked)
        notices_.WriteAsked(StoreFile::Settings, "The settings were not saved.", write);
    else
        notices_.Write(StoreFile::Settings, "The settings were not saved.", write);
}

void frmWallPaper::mnuExit_Click() {
    RefuseUnstorableName(); // the exit goes on under the name restored
    SaveSettings();
    TakeStoredRotation();
    SaveBmpCombo();
    if (CollectionDirty)
        AskSaveCollection(cmbCollection.Text());
}

// ---- settings

void frmWallPaper::LoadViewBmp() {
    try {
        chkAutoView.SetValue(ReadViewBmp(registry_) == "YES" ? 1 : 0);
    } catch (const IoFailure& e) {
        dialogs_.ShowMessage(e.what(), kProgramTitle);
        if (e.code() != IoFailure::kNotFound)
            return;
        notices_.Write(StoreFile::Settings, "The settings were not saved.",
                       [this] { SaveViewBmp(registry_, chkAutoView.Value()); });
    }
}

// ---- handlers whose dirty rules loading runs

void frmWallPaper::StyleClicked(std::int16_t styleCode) {
    filWinBmps.enabled = styleCode != style::kNone; // None has no file to apply
    if (WallpaperStyle != styleCode) {
        WallpaperStyle = styleCode;
        CollectionDirty = true;
    }
}

void frmWallPaper::OrderClicked(std::int16_t order) {
    if (CycleOrder != order) {
        CycleOrder = order;
        CollectionDirty = true;
    }
}

// ---- applying

// A failure to write is the profile's record of the wallpaper: the desktop has changed where it
// could. False when the desktop refused the bitmap as unreadable.
bool frmWallPaper::SystemParametersInfoA(const std::string& text) {
    DesktopResult result = DesktopResult::Done;
    notices_.Write(StoreFile::Settings, "The wallpaper setting was not saved.", [&] {
        result = desktop_->SetDeskWallpaper(text);
        if (result == DesktopResult::NoDesktop) {
            desktopUnreachable_ = true;
            desktopFailure_ = desktop_->failure();
        }
    });
    // Windows would show the wallpaper it keeps in the style meant for the refused one.
    if (result == DesktopResult::BadPicture && styleBefore_)
        notices_.Write(StoreFile::Settings, "The wallpaper style was not saved.",
                       [&] { RestoreWallpaperStyle(registry_, *styleBefore_); });
    styleBefore_.reset();
    // velumspin tells it as it ends; the window once, where the person is looking.
    if (result == DesktopResult::NoDesktop && role_.history && !desktopTold_) {
        desktopTold_ = true;
        dialogs_.ShowMessage(DesktopFailureText(), kProgramTitle);
    }
    return result != DesktopResult::BadPicture;
}

std::string frmWallPaper::DesktopFailureText() const {
    return "No desktop could be reached" +
           (desktopFailure_.empty() ? "" : " (" + desktopFailure_ + ")") +
           "; the wallpaper was not changed.";
}

void frmWallPaper::SetWallpaperStyle(std::int16_t styleCode) {
    // Fill, Fit and Stretch are Windows' own WallpaperStyle numbers; Center and Tile are its 0.
    const bool scaled =
        styleCode == style::kFill || styleCode == style::kFit || styleCode == style::kStretch;
    notices_.Write(StoreFile::Settings, "The wallpaper style was not saved.", [&] {
        if (!styleBefore_)
            styleBefore_ = ReadWallpaperStyle(registry_);
        SaveWallpaperStyle(registry_, scaled ? styleCode : 0, styleCode == style::kTile);
    });
}

// Any code without a button of its own is None's, as a reader of only the first three styles
// shows the later ones.
OptionButton& frmWallPaper::StyleButton(double styleCode) {
    for (const StyleOption& o : kStyleOptions)
        if (styleCode == o.code)
            return this->*o.button;
    return optNone;
}

std::int16_t frmWallPaper::ChosenStyle() const {
    for (const StyleOption& o : kStyleOptions)
        if ((this->*o.button).Value())
            return o.code;
    return style::kNone;
}

std::int16_t frmWallPaper::StyleOfText(const std::string& text) {
    for (const StyleOption& o : kStyleOptions)
        if (text == std::to_string(o.code))
            return o.code;
    return style::kNone;
}

OptionButton& frmWallPaper::OrderButton(double orderCode) {
    return orderCode == order::kDescending ? optDescending
           : orderCode == order::kRandom   ? optRandom
                                           : optAscending;
}

std::int16_t frmWallPaper::ChosenOrder() const {
    return optRandom.Value()       ? order::kRandom
           : optDescending.Value() ? order::kDescending
                                   : order::kAscending;
}

bool frmWallPaper::TileChosenStyle() {
    const std::int16_t styleCode = ChosenStyle();
    if (styleCode == style::kNone) {
        SystemParametersInfoA(kNoWallpaper);
        return false;
    }
    SetWallpaperStyle(styleCode);
    return true;
}

void frmWallPaper::cmdApply_click() {
    if (!TileChosenStyle())
        return;
    if (const auto source = ClickedList())
        ApplyBmp(*source);
    SelectLastBmp();
}

void frmWallPaper::filWinBmps_DblClick() {
    if (TileChosenStyle())
        ApplyBmp(BmpSource::FileList);
}

void frmWallPaper::cmbLastBmps_DblClick() {
    if (role_.history)
        filWinBmps_DblClick();
}

std::optional<BmpSource> frmWallPaper::ClickedList() const {
    if (LastClickedList == kFileListClicked)
        return BmpSource::FileList;
    if (LastClickedList == kRotationListClicked)
        return BmpSource::RotationList;
    return std::nullopt;
}

std::optional<std::string> frmWallPaper::SelectedPath(BmpSource source) const {
    const ListBox& list = source == BmpSource::FileList ? filWinBmps : lstRotateBmps;
    const int i = list.ChosenEntry();
    if (i < 0)
        return std::nullopt;
    return source == BmpSource::FileList ? filWinBmps.FullPath(i) : list.List(i);
}

void frmWallPaper::ApplyBmp(BmpSource source) {
    // A list with nothing selected names no bitmap: nothing is applied.
    const auto path = SelectedPath(source);
    if (!path)
        return;
    ApplyPath(*path);
    // The history is on disk at once: a crash or a lost display loses nothing applied.
    if (role_.history) {
        TakeStoredRotation();
        SaveBmpCombo();
    }
}

// Two wallpaper calls, before and after the history moves: the window has always made both,
// and the desktop call makes the second one cheap. A bitmap that could not be read is not shown,
// so it is not recorded as if it were.
void frmWallPaper::ApplyPath(const std::string& path) {
    if (!SystemParametersInfoA(path))
        return;
    AddLastBmp(path);
    if (role_.history)
        cmbLastBmps.SetText(path);
    SystemParametersInfoA(path);
}

// ---- the scheduler

void frmWallPaper::ApplyNextBmp() {
    const int n = lstRotateBmps.ListCount();
    if (n == 0)
        return; // nothing to cycle: no selection, browser, position, time or style changes
    const int next = RepairIndex(NextIndex, n, ChosenOrder());
    NextIndex = static_cast<std::int16_t>(next);
    const bool has = next >= 0 && next < n;
    const std::string chosen = has ? lstRotateBmps.List(next) : std::string();

    lstRotateBmps.SelectWhere([next](int i) { return i == next; });
    filWinBmps.SelectWhere([&](int i) { return has && filWinBmps.FullPath(i) == chosen; });

    // The chosen bitmap is applied whichever list the selections left as clicked last.
    if (TileChosenStyle()) {
        if (has)
            ApplyPath(chosen);
        SelectLastBmp();
    }

    CurrentIndex = NextIndex;
    NextIndex = AdvanceIndex(NextIndex, n, ChosenOrder(), *random_);
    rotationMoved_ = true;
    LastChangeTick = TickTime;
    LastChanged = DateValue::FromDate(clock_->Now());
    ShowLastChanged(" ");
    // Written at once, as velumspin does: a crash loses at most this change, and velumspin
    // continues from here.
    SaveBmpCombo();
}

void frmWallPaper::cmdUpdate_click() {
    TakeStoredRotation();
    ApplyNextBmp();
}

void frmWallPaper::Timer1_Timer() {
    TakeStoredRotation();
    TickTime = DateValue::FromDate(clock_->Now());
    // An unreadable or unset last change reads as the zero date: never changed.
    if (ChangeDue(LastChangeTick.Moment(), TickTime.date, LenientVal(txtDays.Text()),
                  LenientVal(txtHours.Text()), LenientVal(txtMinutes.Text())))
        ApplyNextBmp();
}

// ---- the browser and the preview

void frmWallPaper::InitBrowser() {
    browser_.Start(places_.startFolder);
}

void frmWallPaper::Drive1_Change() {
    browser_.DriveChosen();
}

void frmWallPaper::Dir1_Change() {
    if (role_.browser)
        filWinBmps.Show(Dir1.Path(), std::move(Dir1.bitmaps));
}

void frmWallPaper::filWinBmps_Click() {
    LastClickedList = kFileListClicked;
    chkAutoView_Click();
    // The window switches the rotation list off and on again here; kept, as the views draw it.
    lstRotateBmps.enabled = false;
    filWinBmps.enabled = true;
    lstRotateBmps.enabled = true;
}

void frmWallPaper::chkAutoView_Click() {
    const auto source = ClickedList();
    if (!source)
        return;
    const std::string path = SelectedPath(*source).value_or("");
    if (chkAutoView.Value() != 1)
        imgThumb.picture.clear();
    else if (!path.empty() && LoadPicture && LoadPicture(path))
        imgThumb.picture = path; // a file that does not load leaves the last picture
}

void frmWallPaper::imgThumb_DblClick() {
    if (chkAutoView.Value() != 1)
        return;
    if (imgThumb.stretch) {
        imgThumb.stretch = false;
    } else {
        imgThumb.width = ImageBox::kThumbWidth;
        imgThumb.height = ImageBox::kThumbHeight;
        imgThumb.stretch = true;
    }
}

// ---- the rotation list

void frmWallPaper::AddBmps(bool selectedOnly) {
    Hourglass busy(mousePointer, MousePointerChanged);
    std::unordered_set<std::string> present(lstRotateBmps.items().begin(),
                                            lstRotateBmps.items().end());
    for (int i = 0; i < filWinBmps.ListCount(); ++i) {
        if (selectedOnly && !filWinBmps.Selected(i))
            continue;
        if (lstRotateBmps.ListCount() >= kMaxListEntries)
            break; // the most a collection can hold
        std::string path = filWinBmps.FullPath(i);
        if (present.insert(path).second) {
            lstRotateBmps.AddItem(path);
            CollectionDirty = true;
        }
    }
}

void frmWallPaper::cmdRemove_click() {
    if (lstRotateBmps.RemoveSelected() > 0)
        CollectionDirty = true;
}

void frmWallPaper::cmdRemoveAll_click() {
    lstRotateBmps.Clear();
    CollectionDirty = true;
}

void frmWallPaper::lstRotateBmps_Click() {
    if (filWinBmps.AnySelected())
        filWinBmps.SetSelection([](int) { return false; });
    LastClickedList = kRotationListClicked;
    chkAutoView_Click();
}

// ---- the history

void frmWallPaper::AddLastBmp(const std::string& path) {
    if (!role_.history)
        return;
    std::vector<std::string> entries = cmbLastBmps.items();
    if (!PushHistory(entries, path))
        return;
    std::string text = cmbLastBmps.Text();
    cmbLastBmps.Clear();
    for (const auto& e : entries)
        cmbLastBmps.AddItem(e);
    cmbLastBmps.SetText(text);
}

void frmWallPaper::SelectLastBmp() {
    if (!role_.history)
        return;
    const std::string chosen = cmbLastBmps.Text();
    // The rotation list first: its click clears the file list's selection, which the file list
    // then takes again, so a double-click on the history applies the chosen bitmap. The browser
    // moves before the file list selects, as moving reloads the list and would drop the
    // selection, leaving a second Apply with nothing to apply.
    lstRotateBmps.SelectWhere([&](int i) { return lstRotateBmps.List(i) == chosen; });
    NavigateToBmp(chosen);
    filWinBmps.SelectWhere([&](int i) { return filWinBmps.FullPath(i) == chosen; });
}

void frmWallPaper::NavigateToBmp(const std::string& path) {
    if (role_.browser)
        browser_.ShowFolderOf(path);
}

void frmWallPaper::cmbLastBmps_Click() {
    if (!role_.history)
        return;
    NavigateToBmp(cmbLastBmps.Text());
    SelectLastBmp();
}

} // namespace velum
