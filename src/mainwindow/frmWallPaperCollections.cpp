// The form's collections: the catalogue of names, loading and saving a collection, and the
// rotation state shared with the other program through velum.cfg.
#include "common/IoFailure.h"
#include "common/Numbers.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "store/Catalogue.h"
#include "store/CollectionStore.h"

namespace velum {

namespace {

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace

bool frmWallPaper::RefuseUnstorableName() {
    const std::string text = cmbCollection.Text();
    // velum.cfg keeps one record a line, and the stored list of names is comma-joined. A name
    // loaded as it was stored (carried from elsewhere) is not refused for its comma again.
    const char* why = NameBreaksRecords(text) ? "A collection name cannot contain a line break."
                      : NameSplitsCatalogue(text) && text != LoadedCollectionName
                          ? "A collection name cannot contain a comma."
                          : nullptr;
    if (!why)
        return false;
    dialogs_.ShowMessage(why, kProgramTitle);
    cmbCollection.SetText(LoadedCollectionName);
    return true;
}

// ---- catalogue

void frmWallPaper::LoadCollectionNames() {
    std::string stored = GetCollections(registry_);
    if (stored.empty()) {
        AddCollectionName(kDefaultCollection);
        cmbCollection.SetText(kDefaultCollection);
    } else {
        for (const auto& name : SplitCollectionNames(stored))
            AddCollectionName(name);
    }

    std::string current = GetCurrentCollection(registry_);
    if (NameBreaksRecords(current)) {
        // Never written to velum.cfg: the first collection that can be is shown instead.
        dialogs_.ShowMessage("The current collection's stored name holds a line break and "
                             "cannot be used; the first collection is shown instead.",
                             kProgramTitle);
        if (cmbCollection.ListCount() == 0)
            AddCollectionName(kDefaultCollection);
        current = cmbCollection.List(0);
    }
    LoadedCollectionName = current;
    if (!current.empty()) {
        cmbCollection.SetText(current);
        // The load that choosing it makes is kept for the one below: velum.cfg is read once.
        keepRead_ = true;
        cmbCollection.ChooseText(current);
        keepRead_ = false;
    }
    // The collection shown is the one saved under, so a first run works on "Default".
    if (LoadedCollectionName.empty())
        LoadedCollectionName = cmbCollection.Text();

    const int position = CurrentIndex; // outside the list, nothing is selected
    lstRotateBmps.SelectWhere([position](int i) { return i == position; });

    LoadBmpCollection(cmbCollection.Text());
    keptRead_.reset();
    lstRotateBmps.TopIndex = CurrentIndex; // the bitmap shown last, in view from the start
    NavigateToBmp(cmbLastBmps.Text());
}

void frmWallPaper::AddCollectionName(const std::string& name) {
    if (!CanAddCollectionName(cmbCollection.items(), name) || NameSplitsCatalogue(name) ||
        NameBreaksRecords(name))
        return;
    cmbCollection.AddItem(name);
    CollectionsList = JoinCollectionNames(cmbCollection.items());
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
    const std::string text = cmbCollection.Text();
    if (text != LoadedCollectionName && CollectionDirty)
        AskSaveCollection(LoadedCollectionName);
    LoadBmpCollection(text);
    LoadTileSetting(text);
    if (!text.empty())
        LoadedCollectionName = text;
    CollectionDirty = false;
}

void frmWallPaper::cmbCollection_LostFocus() {
    if (RefuseUnstorableName())
        return;
    const std::string text = cmbCollection.Text();
    if (text.empty()) {
        cmbCollection.SetText(LoadedCollectionName); // no collection is nameless
        return;
    }
    // The same name again is no new collection: the edits stay, and so does their mark.
    if (text == LoadedCollectionName)
        return;
    if (CollectionDirty)
        AskSaveCollection(LoadedCollectionName);
    AddCollectionName(text);
    LoadedCollectionName = text;
    LoadBmpCollection(text);
    LoadTileSetting(text);
}

void frmWallPaper::mnuDelete_Click() {
    int position = cmbCollection.ListIndex();
    int count = cmbCollection.ListCount();
    if (count == 0 || position < 0)
        return;
    std::string deleted = cmbCollection.List(position);
    const std::string successor = cmbCollection.List(SuccessorAfterDelete(position, count));
    cmbCollection.SetText(successor);
    cmbCollection.ChooseText(successor);
    // The question the click may have asked leaves the list as it was.
    cmbCollection.RemoveItem(position);
    CollectionsList = JoinCollectionNames(cmbCollection.items());
    DeletedCollections.insert(deleted);
}

void frmWallPaper::mnuSave_Click() {
    if (RefuseUnstorableName())
        return; // nothing is saved; the edits stay for the name restored
    const std::string name = cmbCollection.Text();
    // A name typed and saved joins the catalogue, so the stored list can offer it again.
    AddCollectionName(name);
    SaveSettings(true);
    SaveBmpCollection(name);
    if (!name.empty() && !CollectionDirty) {
        if (name != LoadedCollectionName) {
            rotationOf_ = name; // the rotation shown goes on under the name it was saved as
            seenRotation_ = {};
        }
        LoadedCollectionName = name;
    }
}

// ---- loading

void frmWallPaper::LoadBmpCollection(const std::string& name) {
    std::optional<StoredRecords> kept;
    if (keptRead_ && keptRead_->first == name) {
        kept = std::move(keptRead_->second);
        // Its bitmaps went to the list, where they still are.
        kept->collection.bitmaps = lstRotateBmps.TakeItems();
    }
    keptRead_.reset();
    lstRotateBmps.Clear();
    // The history is one list for every collection: only the start-up load fills it.
    const bool fillHistory = role_.history && !historyLoaded_;
    historyLoaded_ = true;
    if (fillHistory)
        cmbLastBmps.Clear();
    // Each collection keeps its own rotation: the one left behind is written now, and the one
    // loaded starts from its stored state or, without one, from its first bitmap.
    const bool otherRotation = name != rotationOf_;
    const bool takeStoredRotation = otherRotation || !rotationMoved_;
    if (otherRotation) {
        if (rotationMoved_ && !rotationOf_.empty())
            SaveRotationOf(rotationOf_);
        ResetRotation();
        rotationOf_ = name;
    }

    std::optional<StoredRecords> stored = kept ? std::move(kept) : ReadStore(name);
    tileRead_ = {name, stored ? stored->collection.firstTileWallpaper : std::nullopt};
    if (!stored)
        return;
    ShowStored(*stored, takeStoredRotation, fillHistory);
    if (keepRead_)
        keptRead_.emplace(name, std::move(*stored));
}

void frmWallPaper::ShowStored(StoredRecords& stored, bool takeStoredRotation, bool fillHistory) {
    StoredCollection& c = stored.collection;
    // Each value goes through its control, whose change handler marks the collection.
    if (c.minutes)
        txtMinutes.SetText(*c.minutes);
    if (c.hours)
        txtHours.SetText(*c.hours);
    if (c.days)
        txtDays.SetText(*c.days);
    if (takeStoredRotation)
        TakeRotation(c);
    if (c.cycleOptions)
        orderGroup.Select(OrderButton(LenientVal(*c.cycleOptions)));
    // Read as a number here ("1.0" tiles); LoadTileSetting compares the text exactly.
    if (c.tileWallpaper)
        styleGroup.Select(StyleButton(LenientVal(*c.tileWallpaper)));
    lstRotateBmps.SetItems(std::move(c.bitmaps));
    if (!fillHistory)
        return;
    for (const auto& entry : stored.history)
        cmbLastBmps.AddItem(entry);
    cmbLastBmps.SetText(cmbLastBmps.ListCount() > 0 ? cmbLastBmps.List(0) : std::string());
}

void frmWallPaper::ResetRotation() {
    NextIndex = 0;
    CurrentIndex = 0;
    LastChangeTick = DateValue{};
    LastChanged = DateValue{};
    rotationMoved_ = false;
    Caption = kProgramTitle;
    Image1ToolTip.clear();
}

void frmWallPaper::LoadTileSetting(const std::string& name) {
    if (name.empty())
        return; // no collection has an empty name
    // The load just before has read it already.
    const std::optional<std::string> stored = tileRead_ && tileRead_->first == name
                                                  ? tileRead_->second
                                                  : LoadTileSettingFile(places_.storeFolder, name);
    tileRead_.reset();
    if (!stored)
        return;
    // Exact text ("1" tiles, "0" centres), unlike LoadBmpCollection's number rule.
    const std::int16_t code = StyleOfText(*stored);
    styleGroup.Select(StyleButton(code));
    WallpaperStyle = code;
}

// The caption after loading a time has " - (", the one after a change " (": both forms are the
// window's, kept as they are.
void frmWallPaper::ShowLastChanged(const char* captionGap) {
    const std::string text = "Last Changed " + LastChanged.DisplayText();
    if (role_.changeInCaption)
        Caption = std::string(kProgramTitle) + captionGap + "(" + text + ")";
    else
        Image1ToolTip = text;
}

// ---- saving

void frmWallPaper::SaveBmpCollection(const std::string& name) {
    if (name.empty())
        return; // a collection without a name could never be loaded again
    Hourglass busy(mousePointer, MousePointerChanged);
    const CollectionContent content{.bitmaps = lstRotateBmps.items(),
                                    .minutes = txtMinutes.Text(),
                                    .hours = txtHours.Text(),
                                    .days = txtDays.Text(),
                                    .cycleOptions = std::to_string(ChosenOrder()),
                                    .tileWallpaper = std::to_string(ChosenStyle())};
    // Only the person's Save or Yes comes here.
    if (notices_.WriteAsked(StoreFile::Config, "The collection " + Quoted(name) + " was not saved.",
                            [&] { SaveCollectionFile(places_.storeFolder, name, content); })) {
        CollectionDirty = false;
        DeletedCollections.erase(name); // saved again after a Delete: kept at exit
    }
}

void frmWallPaper::SaveBmpCombo() {
    // The rotation belongs to the collection it was loaded with, whatever name is typed now.
    SaveRotationOf(rotationOf_.empty() ? cmbCollection.Text() : rotationOf_);
}

void frmWallPaper::SaveRotationOf(const std::string& collection) {
    // A history that was never loaded is kept as stored.
    const RotationSnapshot snap{.cycler = !role_.history,
                                .history = cmbLastBmps.items(),
                                .collection = collection,
                                .index = SignedNumberText(NextIndex),
                                .time = LastChanged.StoredText(),
                                .currentIndex = SignedNumberText(CurrentIndex),
                                .deleted = DeletedCollections};
    if (notices_.Write(StoreFile::Config,
                       role_.history
                           ? "The previous bitmaps and the rotation position were not saved."
                           : "The rotation position was not saved.",
                       [&] { SaveRotationFile(places_.storeFolder, snap); }) &&
        collection == rotationOf_) {
        rotationMoved_ = false;
        seenRotation_ = {NextIndex, CurrentIndex, snap.time};
    }
}

std::optional<StoredRecords> frmWallPaper::ReadStore(const std::string& name) {
    try {
        return LoadCollectionFile(places_.storeFolder, name);
    } catch (const IoFailure& e) {
        notices_.Report(StoreFile::ConfigRead,
                        "The collections could not be read; velum.cfg is left as it is.", e);
        return std::nullopt;
    }
}

void frmWallPaper::TakeRotation(const StoredCollection& c) {
    if (c.index)
        NextIndex = *c.index;
    if (c.currentIndex)
        CurrentIndex = *c.currentIndex;
    if (c.time) {
        LastChangeTick = DateValue::FromText(*c.time);
        LastChanged = LastChangeTick;
        ShowLastChanged(" - ");
    }
    seenRotation_ = {c.index, c.currentIndex, c.time};
}

void frmWallPaper::TakeStoredRotation() {
    if (rotationOf_.empty())
        return;
    const std::optional<StoredRecords> stored = ReadStore(rotationOf_);
    if (!stored)
        return;
    const StoredCollection& c = stored->collection;
    // No stored position (a collection never cycled) leaves this form's own.
    if (!c.index || SeenRotation{c.index, c.currentIndex, c.time} == seenRotation_)
        return;
    if (!c.time)
        LastChangeTick = LastChanged = DateValue{};
    TakeRotation(c);
    rotationMoved_ = false;
}

} // namespace velum
