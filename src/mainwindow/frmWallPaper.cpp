#include "mainwindow/frmWallPaper.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <memory>
#include <unordered_set>

#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/Numbers.h"
#include "common/RegistrySettings.h"
#include "engine/Bitmap.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"

namespace velum {

namespace {

constexpr int kMaxStoredNames = 101;
constexpr int kMaxListEntries = 32767;

// Shows the hourglass for the life of the guard, however the operation ends.
class Hourglass {
  public:
    explicit Hourglass(frmWallPaper& form) : form_(form) { Set(MousePointer::Hourglass); }
    ~Hourglass() { Set(MousePointer::Default); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

  private:
    void Set(MousePointer pointer) {
        form_.mousePointer = pointer;
        if (form_.MousePointerChanged)
            form_.MousePointerChanged(pointer);
    }
    frmWallPaper& form_;
};

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace

frmWallPaper::frmWallPaper(Registry& registry, Dialogs& dialogs, Kind kind)
    : registry_(registry), dialogs_(dialogs), kind_(kind) {
    // Center and Ascending, as WallpaperStyle and CycleOrder start.
    styleGroup.Preset(optCenter);
    orderGroup.Preset(optAscending);
    cmbCollection.Click = [this] { cmbCollection_Click(); };
    cmbCollection.Change = [this] { cmbCollection_Change(); };
    lstRotateBmps.Click = [this] { lstRotateBmps_Click(); };
    txtDays.Change = [this] { txtDays_Change(); };
    txtHours.Change = [this] { txtHours_Change(); };
    txtMinutes.Change = [this] { txtMinutes_Change(); };
    optTile.Click = [this] { optTile_Click(); };
    optCenter.Click = [this] { optCenter_Click(); };
    optNone.Click = [this] { optNone_Click(); };
    optAscending.Click = [this] { optAscending_Click(); };
    optRandom.Click = [this] { optRandom_Click(); };
    optDescending.Click = [this] { optDescending_Click(); };
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
    LoadPicture = [](const std::string& path) { return DecodeBitmapFile(path).has_value(); };
}

void frmWallPaper::ReportFailure(const std::string& what, const std::exception& e) {
    saveFailed_ = true;
    dialogs_.ShowMessage(what + "\n\n" + e.what(), kProgramTitle);
}

// ---- start-up and exit

void frmWallPaper::Form_Load() {
    InitBrowser();
    LoadViewBmp();
    LoadCollectionNames();
    LoadTileSetting(cmbCollection.Text());
    CollectionDirty = false;
}

void frmCycler::Form_Load() {
    LoadCollectionNames();
    LoadTileSetting(cmbCollection.Text());
    CollectionDirty = false;
    ApplyNextBmp();
    SaveBmpCombo();
}

void frmWallPaper::Form_Resize(bool minimised) {
    if (!isCycler())
        return;
    if (minimised)
        TimerEnabled = true;
    else if (TimerEnabled)
        TimerEnabled = false;
}

void frmWallPaper::SaveSettings() {
    if (isCycler())
        return; // velumspin never writes the program's settings
    try {
        SaveOptions(registry_, chkAutoView.Value(), CollectionsList, cmbCollection.Text());
    } catch (const std::exception& e) {
        ReportFailure("The settings were not saved.", e);
    }
}

void frmWallPaper::mnuExit_Click() {
    SaveSettings();
    SaveBmpCombo();
    if (CollectionDirty)
        AskSaveCollection(cmbCollection.Text());
}

// ---- settings

void frmWallPaper::LoadViewBmp() {
    try {
        chkAutoView.SetValue(ReadViewBmp(registry_) == "YES" ? 1 : 0);
    } catch (const std::exception& e) {
        dialogs_.ShowMessage(e.what(), kProgramTitle);
        const auto* io = dynamic_cast<const IoFailure*>(&e);
        if (io && io->code() == 2) {
            try {
                EnsureRegKey(registry_, kOptionsKey, HKEY_CURRENT_USER);
                WriteSetting(registry_, kOptionsKey, "ViewBmp",
                             std::string(chkAutoView.Value() == 1 ? "YES" : "NO"), REG_SZ);
            } catch (const std::exception& again) {
                ReportFailure("The settings were not saved.", again);
            }
        }
    }
}

// ---- catalogue

void frmWallPaper::LoadCollectionNames() {
    std::string stored = GetCollections(registry_);
    if (stored.empty()) {
        AddCollectionName("Default");
        cmbCollection.SetText("Default");
    } else {
        std::string rest = stored + ",";
        for (int taken = 0; taken < kMaxStoredNames; ++taken) {
            std::size_t comma = rest.find(',');
            if (comma == std::string::npos)
                break;
            AddCollectionName(rest.substr(0, comma));
            rest.erase(0, comma + 1);
        }
    }

    std::string current = GetCurrentCollection(registry_);
    LoadedCollectionName = current;
    if (!current.empty()) {
        cmbCollection.SetText(current);
        for (int i = 0; i < cmbCollection.ListCount(); ++i)
            if (cmbCollection.List(i) == current)
                cmbCollection.SetListIndex(i);
    }
    // The collection shown is the one saved under, so a first run works on "Default".
    if (LoadedCollectionName.empty())
        LoadedCollectionName = cmbCollection.Text();

    const int position = CurrentIndex; // outside the list, nothing is selected
    SelectWhere(lstRotateBmps, [position](int i) { return i == position; });

    LoadBmpCollection(cmbCollection.Text());
    if (!isCycler())
        NavigateToBmp(cmbLastBmps.Text());
}

void frmWallPaper::AddCollectionName(const std::string& name) {
    if (name.empty())
        return;
    for (const auto& entry : cmbCollection.items())
        if (entry == name)
            return;
    cmbCollection.AddItem(name);
    CollectionsList = CollectionsList.empty() ? name : CollectionsList + "," + name;
    DeletedCollections.erase(name);
    CollectionDirty = true;
}

void frmWallPaper::AskSaveCollection(const std::string& name) {
    if (name.empty())
        return; // nothing can be saved under no name, so there is nothing to ask
    std::string prompt = "Do you want to save changes to the collection " + Quoted(name) + "?";
    std::string caption = "Save Changes to " + Quoted(name) + " ? ";
    if (dialogs_.AskYesNo(prompt, caption))
        SaveBmpCollection(name);
}

void frmWallPaper::cmbCollection_Click() {
    std::string text = cmbCollection.Text();
    if (text != LoadedCollectionName && CollectionDirty)
        AskSaveCollection(LoadedCollectionName);
    LoadBmpCollection(text);
    LoadTileSetting(text);
    if (!text.empty())
        LoadedCollectionName = text;
    CollectionDirty = false;
}

void frmWallPaper::cmbCollection_LostFocus() {
    std::string text = cmbCollection.Text();
    if (text.find(',') != std::string::npos) {
        // The stored list of names is comma-joined: such a name would split at the next start.
        dialogs_.ShowMessage("A collection name cannot contain a comma.", kProgramTitle);
        cmbCollection.SetText(LoadedCollectionName);
        return;
    }
    if (text != LoadedCollectionName) {
        if (CollectionDirty)
            AskSaveCollection(LoadedCollectionName);
        AddCollectionName(text);
        LoadedCollectionName = text;
    } else {
        CollectionDirty = false;
    }
    LoadBmpCollection(text);
    LoadTileSetting(text);
}

void frmWallPaper::mnuDelete_Click() {
    int position = cmbCollection.ListIndex();
    int count = cmbCollection.ListCount();
    if (count == 0 || position < 0)
        return;
    std::string deleted = cmbCollection.List(position);
    int successor = position + 1 < count ? position + 1 : 0;
    cmbCollection.SetText(cmbCollection.List(successor));
    for (int i = 0; i < cmbCollection.ListCount(); ++i)
        if (cmbCollection.List(i) == cmbCollection.Text())
            cmbCollection.SetListIndex(i);
    // The question the click may have asked leaves the list as it was.
    cmbCollection.RemoveItem(position);
    CollectionsList.clear();
    for (int i = 0; i < cmbCollection.ListCount(); ++i)
        CollectionsList += (i ? "," : "") + cmbCollection.List(i);
    DeletedCollections.insert(deleted);
}

void frmWallPaper::mnuSave_Click() {
    SaveSettings();
    SaveBmpCollection(cmbCollection.Text());
}

// ---- loading

void frmWallPaper::LoadBmpCollection(const std::string& name) {
    lstRotateBmps.Clear();
    if (!isCycler())
        cmbLastBmps.Clear();

    std::string path = ConfigFilePath();
    if (!FileExists(path))
        return;
    std::unique_ptr<std::istream> in;
    try {
        in = OpenForReading(path);
    } catch (const IoFailure& e) {
        if (!readFailureReported_) {
            readFailureReported_ = true;
            ReportFailure("The collections could not be read; velum.cfg is left as it is.", e);
        }
        return;
    }
    if (!in)
        return;

    std::string line;
    while (ReadConfigLine(*in, line)) {
        ConfigRecord r = ParseConfigRecord(line);
        if (r.name.empty()) {
            if (!isCycler())
                cmbLastBmps.AddItem(std::string(r.value));
            continue;
        }
        if (r.name != name)
            continue;
        std::string value(r.value);
        if (r.key == "Minutes") {
            txtMinutes.SetText(value);
        } else if (r.key == "Hours") {
            txtHours.SetText(value);
        } else if (r.key == "Days") {
            txtDays.SetText(value);
        } else if (r.key == "Index") {
            RoundToInt16(LenientVal(value), NextIndex); // out of range: the step is skipped
        } else if (r.key == "CurrentIndex") {
            RoundToInt16(LenientVal(value), CurrentIndex);
        } else if (r.key == "Time") {
            LastChangeTick = DateValue::FromText(value);
            LastChanged = LastChangeTick;
            ShowLastChanged();
        } else if (r.key == "CycleOptions") {
            double n = LenientVal(value);
            orderGroup.Select(n == 2 ? optDescending : n == 1 ? optRandom : optAscending);
        } else if (r.key == "TileWallpaper") {
            double n = LenientVal(value);
            styleGroup.Select(n == 1 ? optTile : n == 0 ? optCenter : optNone);
        } else if (r.key == "Bmp") {
            if (lstRotateBmps.ListCount() < kMaxListEntries)
                lstRotateBmps.AddItem(value);
        }
    }
    if (in->bad()) {
        lstRotateBmps.Clear();
        if (!isCycler())
            cmbLastBmps.Clear();
        if (!readFailureReported_) {
            readFailureReported_ = true;
            ReportFailure("The collections could not be read; velum.cfg is left as it is.",
                          IoFailure("Read error in " + path));
        }
        return;
    }
    if (!isCycler())
        cmbLastBmps.SetText(cmbLastBmps.ListCount() > 0 ? cmbLastBmps.List(0) : std::string());
}

void frmWallPaper::LoadTileSetting(const std::string& name) {
    if (name.empty())
        return; // no collection has an empty name
    std::string path = ConfigFilePath();
    if (!FileExists(path))
        return;
    std::unique_ptr<std::istream> in;
    try {
        in = OpenForReading(path);
    } catch (const IoFailure&) {
        return; // LoadBmpCollection has told the person already
    }
    if (!in)
        return;
    std::string line;
    while (ReadConfigLine(*in, line)) {
        ConfigRecord r = ParseConfigRecord(line);
        if (r.name != name || r.key != "TileWallpaper")
            continue;
        if (r.value == "1") {
            styleGroup.Select(optTile);
            WallpaperStyle = 1;
        } else if (r.value == "0") {
            styleGroup.Select(optCenter);
            WallpaperStyle = 0;
        } else {
            styleGroup.Select(optNone);
            WallpaperStyle = 99;
        }
        return;
    }
}

void frmWallPaper::ShowLastChanged() {
    if (isCycler())
        Image1ToolTip = "Last Changed " + LastChanged.DisplayText();
    else
        Caption =
            std::string(kProgramTitle) + " - (Last Changed " + LastChanged.DisplayText() + ")";
}

// ---- saving

void frmWallPaper::SaveBmpCollection(const std::string& name) {
    if (name.empty())
        return; // a collection without a name could never be loaded again
    Hourglass busy(*this);
    CollectionContent content;
    content.bitmaps = lstRotateBmps.items();
    content.minutes = txtMinutes.Text();
    content.hours = txtHours.Text();
    content.days = txtDays.Text();
    content.cycleOptions = optRandom.Value() ? "1" : optDescending.Value() ? "2" : "0";
    content.tileWallpaper = optTile.Value() ? "1" : optCenter.Value() ? "0" : "99";
    try {
        SaveCollectionFile(name, content);
        CollectionDirty = false;
        DeletedCollections.erase(name); // saved again after a Delete: kept at exit
    } catch (const std::exception& e) {
        ReportFailure("The collection " + Quoted(name) + " was not saved.", e);
    }
}

void frmWallPaper::SaveBmpCombo() {
    RotationSnapshot snap;
    snap.cycler = isCycler();
    if (!isCycler())
        snap.history = cmbLastBmps.items();
    snap.collection = cmbCollection.Text();
    snap.index = SignedNumberText(NextIndex);
    snap.time = LastChanged.StoredText();
    snap.currentIndex = SignedNumberText(CurrentIndex);
    snap.deleted = DeletedCollections;
    try {
        SaveRotationFile(snap);
    } catch (const std::exception& e) {
        ReportFailure(isCycler() ? "The rotation position was not saved."
                                 : "The previous bitmaps and the rotation position were not saved.",
                      e);
    }
}

// ---- handlers whose dirty rules loading runs

void frmWallPaper::StyleClicked(std::int16_t style) {
    filWinBmps.enabled = style != 99; // None has no file to apply
    if (WallpaperStyle != style) {
        WallpaperStyle = style;
        CollectionDirty = true;
    }
}

void frmWallPaper::OrderClicked(std::int16_t order) {
    if (CycleOrder != order) {
        CycleOrder = order;
        CollectionDirty = true;
    }
}

} // namespace velum

namespace velum {

namespace {

// The number of days of a month as the elapsed-time rule counts them.
int MonthLength(int month) {
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        return 28;
    default:
        return 31;
    }
}

} // namespace

// ---- applying

void frmWallPaper::SystemParametersInfoA(const std::string& text) {
    try {
        if (desktop_->SetDeskWallpaper(text) == DesktopResult::NoDesktop) {
            desktopUnreachable_ = true;
            desktopFailure_ = desktop_->failure();
        }
    } catch (const std::exception& e) {
        ReportFailure("The wallpaper setting was not saved.", e);
    }
}

void frmWallPaper::SetTileWallpaper(int style) {
    try {
        EnsureRegKey(registry_, kDesktopKey, HKEY_CURRENT_USER);
        WriteSetting(registry_, kDesktopKey, "TileWallpaper", std::string(style == 1 ? "1" : "0"),
                     REG_SZ);
    } catch (const std::exception& e) {
        ReportFailure("The wallpaper style was not saved.", e);
    }
}

bool frmWallPaper::ChooseStyle(int& style) {
    if (optTile.Value()) {
        style = 1;
    } else if (optCenter.Value()) {
        style = 0;
    } else {
        SystemParametersInfoA(kNoWallpaper);
        return false;
    }
    return true;
}

void frmWallPaper::cmdApply_click() {
    int style = 0;
    if (!ChooseStyle(style))
        return;
    SetTileWallpaper(style);
    if (LastClickedList == "FillWin")
        ApplyBmp(1);
    else if (LastClickedList == "Rotate")
        ApplyBmp(2);
    SelectLastBmp();
}

void frmWallPaper::filWinBmps_DblClick() {
    int style = 0;
    if (!ChooseStyle(style))
        return;
    SetTileWallpaper(style);
    ApplyBmp(1);
}

void frmWallPaper::cmbLastBmps_DblClick() {
    if (!isCycler())
        filWinBmps_DblClick();
}

void frmWallPaper::ApplyBmp(int source) {
    // A list without a current entry names no bitmap: nothing is applied.
    if (source == 1 && filWinBmps.ListIndex() >= 0)
        ApplyPath(filWinBmps.FullPath(filWinBmps.ListIndex()));
    else if (source == 2 && lstRotateBmps.ListIndex() >= 0)
        ApplyPath(lstRotateBmps.List(lstRotateBmps.ListIndex()));
}

void frmWallPaper::ApplyPath(const std::string& path) {
    SystemParametersInfoA(path);
    AddLastBmp(path);
    if (!isCycler())
        cmbLastBmps.SetText(path);
    SystemParametersInfoA(path);
}

// ---- the scheduler

void frmWallPaper::ApplyNextBmp() {
    const int n = lstRotateBmps.ListCount();
    int next = NextIndex;
    if (next > n - 1 || next < 0) {
        if (optRandom.Value())
            next = n > 1 ? std::abs(next) % (n - 1) : 0; // one entry: the only position
        else if (optDescending.Value())
            next = n - 1;
        else
            next = 0;
    }
    NextIndex = static_cast<std::int16_t>(next);
    const bool has = next >= 0 && next < n;
    const std::string chosen = has ? lstRotateBmps.List(next) : std::string();

    SelectWhere(lstRotateBmps, [next](int i) { return i == next; });
    SelectWhere(filWinBmps, [&](int i) { return has && filWinBmps.FullPath(i) == chosen; });

    // The chosen bitmap is applied whichever list the selections left as clicked last.
    int style = 0;
    if (ChooseStyle(style)) {
        SetTileWallpaper(style);
        if (has)
            ApplyPath(chosen);
        SelectLastBmp();
    }

    CurrentIndex = NextIndex;
    if (optRandom.Value()) {
        random_->Randomize();
        NextIndex = static_cast<std::int16_t>(std::floor(n * random_->Next()));
    } else if (optDescending.Value()) {
        NextIndex = static_cast<std::int16_t>(NextIndex - 1);
    } else if (NextIndex < 32767) {
        NextIndex = static_cast<std::int16_t>(NextIndex + 1);
    }
    LastChangeTick = TickTime;
    LastChanged = DateValue::FromDate(clock_->Now());
    if (isCycler())
        Image1ToolTip = "Last Changed " + LastChanged.DisplayText();
    else
        Caption = std::string(kProgramTitle) + " (Last Changed " + LastChanged.DisplayText() + ")";
}

void frmWallPaper::Timer1_Timer() {
    TickTime = DateValue::FromDate(clock_->Now());
    const DateTime t = TickTime.date;
    const DateTime l = LastChangeTick.Moment(); // unreadable or unset: never changed
    int minutes = t.minute - l.minute;
    int hours = t.hour - l.hour;
    if (minutes < 0) {
        minutes += 60;
        --hours;
    }
    int days = t.day - l.day;
    if (hours < 0) {
        hours += 24;
        --days;
    }
    int months = t.month - l.month;
    if (days < 0) {
        days += MonthLength(l.month);
        --months;
    }
    if (months < 0)
        months += 12;
    const double d = LenientVal(txtDays.Text());
    const double h = LenientVal(txtHours.Text());
    const double m = LenientVal(txtMinutes.Text());
    if (months > 0 || (days >= d && hours >= h && minutes >= m))
        ApplyNextBmp();
}

// ---- the browser and the preview

void frmWallPaper::InitBrowser() {
    Drive1.volumes = ListVolumes();
    const std::string here = CurrentFolder();
    undoingDriveChange_ = true; // the start folder, not the volume's root
    Drive1.SetDrive(VolumeOf(here, Drive1.volumes));
    undoingDriveChange_ = false;
    try {
        Dir1.SetPath(here);
    } catch (const std::exception&) {
        // An unreadable start folder leaves the lists empty.
    }
}

void frmWallPaper::Drive1_Change() {
    if (undoingDriveChange_)
        return;
    const std::string previous = Dir1.Path();
    if (!previous.empty())
        lastFolderOnVolume_[VolumeOf(previous, Drive1.volumes)] = previous;
    auto last = lastFolderOnVolume_.find(Drive1.Drive());
    const std::string target = last != lastFolderOnVolume_.end() ? last->second : Drive1.Drive();
    try {
        Dir1.SetPath(target);
    } catch (const std::exception&) {
        // An unreadable volume puts the drive list back, once.
        undoingDriveChange_ = true;
        Drive1.SetDrive(VolumeOf(previous, Drive1.volumes));
        undoingDriveChange_ = false;
    }
}

void frmWallPaper::Dir1_Change() {
    if (!isCycler()) // velumspin shows no browser
        filWinBmps.SetPath(Dir1.Path());
}

void frmWallPaper::filWinBmps_Click() {
    LastClickedList = "FillWin";
    chkAutoView_Click();
    lstRotateBmps.enabled = false;
    filWinBmps.enabled = true;
    lstRotateBmps.enabled = true;
}

void frmWallPaper::chkAutoView_Click() {
    std::string path;
    if (LastClickedList == "FillWin") {
        if (filWinBmps.ListIndex() >= 0)
            path = filWinBmps.FullPath(filWinBmps.ListIndex());
    } else if (LastClickedList == "Rotate") {
        if (lstRotateBmps.ListIndex() >= 0)
            path = lstRotateBmps.List(lstRotateBmps.ListIndex());
    } else {
        return;
    }
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

void frmWallPaper::SelectWhere(ListBox& list, const std::function<bool(int)>& want) {
    int focus = -1;
    for (int i = 0; i < list.ListCount() && focus < 0; ++i)
        if (want(i))
            focus = i;
    list.SetSelection(want, focus);
}

void frmWallPaper::AddBmps(bool selectedOnly) {
    Hourglass busy(*this);
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
    for (int k = 0; k < lstRotateBmps.ListCount();) {
        if (lstRotateBmps.Selected(k)) {
            lstRotateBmps.RemoveItem(k);
            CollectionDirty = true;
        } else {
            ++k;
        }
    }
}

void frmWallPaper::cmdRemoveAll_click() {
    lstRotateBmps.Clear();
    CollectionDirty = true;
}

void frmWallPaper::lstRotateBmps_Click() {
    if (filWinBmps.AnySelected())
        filWinBmps.SetSelection([](int) { return false; });
    LastClickedList = "Rotate";
    chkAutoView_Click();
}

// ---- the history

void frmWallPaper::AddLastBmp(const std::string& path) {
    if (isCycler())
        return;
    std::vector<std::string> entries = cmbLastBmps.items();
    auto found = std::find(entries.begin(), entries.end(), path);
    if (found != entries.end() && found == entries.begin())
        return;
    if (found != entries.end()) {
        std::rotate(entries.begin(), found, found + 1);
    } else {
        entries.insert(entries.begin(), path);
        if (entries.size() > kMaxHistory)
            entries.erase(entries.begin() + kMaxHistory);
    }
    std::string text = cmbLastBmps.Text();
    cmbLastBmps.Clear();
    for (const auto& e : entries)
        cmbLastBmps.AddItem(e);
    cmbLastBmps.SetText(text);
}

void frmWallPaper::SelectLastBmp() {
    if (isCycler())
        return;
    const std::string chosen = cmbLastBmps.Text();
    // The rotation list first: its click clears the file list's selection, which the file list
    // then takes again, so a double-click on the history applies the chosen bitmap. The browser
    // moves before the file list selects, as moving reloads the list and would drop the
    // selection, leaving a second Apply with nothing to apply.
    SelectWhere(lstRotateBmps, [&](int i) { return lstRotateBmps.List(i) == chosen; });
    NavigateToBmp(chosen);
    SelectWhere(filWinBmps, [&](int i) { return filWinBmps.FullPath(i) == chosen; });
}

void frmWallPaper::NavigateToBmp(const std::string& path) {
    if (isCycler())
        return;
    const char sep = PathSeparator();
    std::size_t p = path.rfind(sep);
    const std::string folder = p == std::string::npos ? std::string() : path.substr(0, p + 1);
    if (!IsVolumeQualified(folder))
        return;
    const std::string normal = NormalizeFolder(folder);
    try {
        ListSubfolders(normal); // a folder that is gone leaves the browser where it was
    } catch (const std::exception&) {
        return;
    }
    Drive1.SetDrive(VolumeOf(normal, Drive1.volumes));
    try {
        Dir1.SetPath(normal);
    } catch (const std::exception&) {
    }
}

void frmWallPaper::cmbLastBmps_Click() {
    if (isCycler())
        return;
    NavigateToBmp(cmbLastBmps.Text());
    SelectLastBmp();
}

} // namespace velum
