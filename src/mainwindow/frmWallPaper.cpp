#include "mainwindow/frmWallPaper.h"

#include <istream>
#include <memory>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/Numbers.h"
#include "common/RegistrySettings.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"

namespace velum {

namespace {

constexpr int kMaxStoredNames = 101;
constexpr int kMaxListEntries = 32767;

// Shows the hourglass for the life of the guard, however the operation ends.
class Hourglass {
  public:
    explicit Hourglass(MousePointer& pointer) : pointer_(pointer) {
        pointer_ = MousePointer::Hourglass;
    }
    ~Hourglass() { pointer_ = MousePointer::Default; }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

  private:
    MousePointer& pointer_;
};

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace

frmWallPaper::frmWallPaper(Registry& registry, Dialogs& dialogs, Kind kind)
    : registry_(registry), dialogs_(dialogs), kind_(kind) {
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
}

void frmWallPaper::ReportFailure(const std::string& what, const std::exception& e) {
    saveFailed_ = true;
    dialogs_.ShowMessage(what + "\n\n" + e.what(), kProgramTitle);
}

// ---- start-up and exit

void frmWallPaper::Form_Load() {
    if (!isCycler())
        LoadViewBmp();
    LoadCollectionNames();
    LoadTileSetting(cmbCollection.Text());
    CollectionDirty = false;
}

void frmWallPaper::mnuExit_Click() {
    if (!isCycler()) {
        try {
            SaveOptions(registry_, chkAutoView.Value(), CollectionsList, cmbCollection.Text());
        } catch (const std::exception& e) {
            ReportFailure("The settings were not saved.", e);
        }
    }
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

    for (int i = 0; i < lstRotateBmps.ListCount(); ++i)
        lstRotateBmps.SetSelected(i, false);
    if (CurrentIndex >= 0 && CurrentIndex < lstRotateBmps.ListCount())
        lstRotateBmps.SetSelected(CurrentIndex, true);

    LoadBmpCollection(cmbCollection.Text());
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
    if (!isCycler()) {
        try {
            SaveOptions(registry_, chkAutoView.Value(), CollectionsList, cmbCollection.Text());
        } catch (const std::exception& e) {
            ReportFailure("The settings were not saved.", e);
        }
    }
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
    Hourglass busy(mousePointer);
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

void frmWallPaper::optNone_Click() {
    filWinBmpsEnabled = false;
    if (WallpaperStyle != 99) {
        WallpaperStyle = 99;
        CollectionDirty = true;
    }
}

void frmWallPaper::optCenter_Click() {
    filWinBmpsEnabled = true;
    if (WallpaperStyle != 0) {
        WallpaperStyle = 0;
        CollectionDirty = true;
    }
}

void frmWallPaper::optTile_Click() {
    filWinBmpsEnabled = true;
    if (WallpaperStyle != 1) {
        WallpaperStyle = 1;
        CollectionDirty = true;
    }
}

void frmWallPaper::optAscending_Click() {
    if (CycleOrder != 0) {
        CycleOrder = 0;
        CollectionDirty = true;
    }
}

void frmWallPaper::optRandom_Click() {
    if (CycleOrder != 1) {
        CycleOrder = 1;
        CollectionDirty = true;
    }
}

void frmWallPaper::optDescending_Click() {
    if (CycleOrder != 2) {
        CycleOrder = 2;
        CollectionDirty = true;
    }
}

void frmWallPaper::lstRotateBmps_Click() {
    LastClickedList = "Rotate";
    chkAutoView_Click();
}

} // namespace velum
