#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "common/Clock.h"
#include "common/DateValue.h"
#include "common/Dialogs.h"
#include "common/IoFailure.h"
#include "common/Registry.h"
#include "common/RegistrySettings.h"
#include "engine/Desktop.h"
#include "engine/Scheduler.h"
#include "mainwindow/Controls.h"
#include "mainwindow/FailureNotices.h"
#include "mainwindow/FolderBrowser.h"
#include "store/CollectionStore.h"

namespace velum {

// LastClickedList's values: the list a bitmap is applied from.
inline constexpr char kFileListClicked[] = "FillWin";
inline constexpr char kRotationListClicked[] = "Rotate";
// The collection a first run works on.
inline constexpr char kDefaultCollection[] = "Default";

// The list ApplyBmp takes the bitmap from.
enum class BmpSource { FileList = 1, RotationList = 2 };

// Where a form works: the folder of velum.cfg (with or without its trailing separator) and the
// folder the browser opens on.
struct FormPlaces {
    std::string storeFolder;
    std::string startFolder;
};

// What a form is built to be. velumdesk's window has every part; velumspin runs a window that is
// never shown, so it keeps no browser and no history and leaves the program's settings alone.
struct FormRole {
    bool browser;         // the drive, folder and file lists follow the folders and the history
    bool history;         // the history of applied bitmaps is loaded, kept and written back
    bool savesSettings;   // the preview setting and the catalogue are written to the settings
    bool changeInCaption; // the time of the last change is shown in the caption, else in
                          // the picture's tooltip
};
inline constexpr FormRole kWindowRole{true, true, true, true};
inline constexpr FormRole kCyclerRole{false, false, false, false};

// The main window's behaviour, shared by velumdesk and velumspin, with no toolkit: its controls
// as plain state, its fields and its handlers. A view draws this state and hands the person's
// actions to the handlers.
class frmWallPaper {
  public:
    frmWallPaper(Registry& registry, Dialogs& dialogs, FormPlaces places,
                 FormRole role = kWindowRole);

    // The services the form calls; without them the form uses the system's own.
    void UseDesktop(Desktop& desktop) { desktop_ = &desktop; }
    void UseClock(Clock& clock) { clock_ = &clock; }
    void UseRandom(RandomSource& random) { random_ = &random; }
    // How the preview loads a picture; true when the file could be shown.
    std::function<bool(const std::string&)> LoadPicture;
    frmWallPaper(const frmWallPaper&) = delete;
    frmWallPaper& operator=(const frmWallPaper&) = delete;

    // Controls.
    ComboBox cmbCollection;
    ListBox lstRotateBmps;
    ComboBox cmbLastBmps;
    TextBox txtDays, txtHours, txtMinutes;
    OptionButton optTile, optCenter, optNone, optFill, optFit, optStretch;
    OptionButton optAscending, optRandom, optDescending;
    OptionGroup styleGroup{&optTile, &optCenter, &optNone, &optFill, &optFit, &optStretch};
    OptionGroup orderGroup{&optAscending, &optRandom, &optDescending};
    CheckBox chkAutoView;
    DriveListBox Drive1;
    DirListBox Dir1;
    FileListBox filWinBmps;
    ImageBox imgThumb;
    bool TimerEnabled = true; // Timer1, every 30 seconds
    std::string Caption = kProgramTitle;
    std::string Image1ToolTip; // velumspin shows the time of the last change here
    MousePointer mousePointer = MousePointer::Default;
    // Told when a long operation shows or takes away the hourglass.
    std::function<void(MousePointer)> MousePointerChanged;

    // Fields.
    bool CollectionDirty = false;
    std::string LoadedCollectionName;
    std::string LastClickedList; // kFileListClicked, kRotationListClicked or empty
    std::int16_t NextIndex = 0;
    std::int16_t CurrentIndex = 0;
    DateValue TickTime, LastChangeTick, LastChanged;
    std::int16_t WallpaperStyle = style::kCenter;
    std::int16_t CycleOrder = order::kAscending;
    std::string CollectionsList;
    // Collections deleted in this run; only their bitmaps leave velum.cfg at exit.
    std::set<std::string> DeletedCollections;

    const FormRole& role() const { return role_; }
    const FormPlaces& places() const { return places_; }
    // True once a write of the store has failed in this run.
    bool saveFailed() const { return notices_.AnyFailed(); }
    // True once a wallpaper call in this run reached no desktop.
    bool desktopUnreachable() const { return desktopUnreachable_; }
    // What the desktop call said about the last desktop it could not reach.
    const std::string& desktopFailure() const { return desktopFailure_; }
    // What a person is told when no desktop took the wallpaper.
    std::string DesktopFailureText() const;

    static constexpr int kTimerIntervalMs = 30000;

    // Start-up and exit.
    void Form_Load();
    // velumspin's one run: loads the current collection, applies its next bitmap whatever the
    // frequency and records the position.
    void CycleOnce();
    void mnuExit_Click();
    void Form_Unload() { mnuExit_Click(); }

    // Settings.
    void LoadViewBmp();

    // Catalogue.
    void LoadCollectionNames();
    void AddCollectionName(const std::string& name);
    void AskSaveCollection(const std::string& name);
    void cmbCollection_Click();
    void cmbCollection_LostFocus();
    void mnuDelete_Click();
    void mnuSave_Click();

    // Loading and saving.
    void LoadBmpCollection(const std::string& name);
    void ShowStored(StoredRecords& stored, bool takeStoredRotation, bool fillHistory);
    void LoadTileSetting(const std::string& name);
    void SaveBmpCollection(const std::string& name);
    void SaveBmpCombo();

    // Handlers whose dirty rules loading relies on.
    void txtDays_Change() { CollectionDirty = true; }
    void txtHours_Change() { CollectionDirty = true; }
    void txtMinutes_Change() { CollectionDirty = true; }
    // Applying.
    void cmdApply_click();
    void mnuApply_Click() { cmdApply_click(); }
    void filWinBmps_DblClick();
    void cmbLastBmps_DblClick();
    void lstRotateBmps_DblClick() { ApplyBmp(BmpSource::RotationList); }
    void ApplyBmp(BmpSource source);
    void SetWallpaperStyle(std::int16_t styleCode);

    // The scheduler.
    void ApplyNextBmp();
    void cmdUpdate_click();
    void mnuNext_Click() { cmdUpdate_click(); }
    void Timer1_Timer();

    // The browser and the preview.
    void InitBrowser();
    void Drive1_Change();
    void Dir1_Change();
    void filWinBmps_Click();
    void chkAutoView_Click();
    void imgThumb_DblClick();

    // The rotation list.
    void AddSelectedBmps() { AddBmps(true); }
    void AddAllBmps() { AddBmps(false); }
    void cmdAdd_click() { AddSelectedBmps(); }
    void cmdAddAll_click() { AddAllBmps(); }
    void cmdRemove_click();
    void cmdRemoveAll_click();
    void mnuAdd_Click() { cmdAdd_click(); }
    void mnuAddAll_Click() { cmdAddAll_click(); }
    void mnuRemove_Click() { cmdRemove_click(); }
    void mnuRemoveAll_Click() { cmdRemoveAll_click(); }
    void lstRotateBmps_DragDrop() { cmdAdd_click(); }
    void lstRotateBmps_Click();

    // The history.
    void AddLastBmp(const std::string& path);
    void SelectLastBmp();
    void NavigateToBmp(const std::string& path);
    void cmbLastBmps_Click();

  private:
    // The start both programs share: the catalogue, then the current collection.
    void LoadCurrentCollection();
    // Shows the time of the last change; `captionGap` goes between the title and the time.
    void ShowLastChanged(const char* captionGap);
    // SaveOptions in velumdesk, reporting a failure (every time when the person asked for the
    // save); nothing in velumspin.
    void SaveSettings(bool asked = false);
    // A style or order button was chosen: a change marks the collection.
    void StyleClicked(std::int16_t styleCode);
    void OrderClicked(std::int16_t order);
    bool SystemParametersInfoA(const std::string& text);
    // Refuses a typed name with a comma (one not loaded as stored), a line break or a NUL:
    // tells the person and shows the loaded name again. True when refused.
    bool RefuseUnstorableName();
    // Writes the history and `collection`'s rotation state, as the exit does.
    void SaveRotationOf(const std::string& collection);
    // velumspin shares the rotation: a stored position and time of the shown collection that
    // another program changed since this form last read or wrote them are taken over.
    void TakeStoredRotation();
    // Takes the rotation state velum.cfg holds for the collection followed, as far as it holds one.
    void TakeRotation(const StoredCollection& stored);
    // velum.cfg's records of `name`; a failed read is told once and gives nothing.
    std::optional<StoredRecords> ReadStore(const std::string& name);
    // What velum.cfg last held of the rotation this form follows, as it read or wrote it.
    struct SeenRotation {
        std::optional<std::int16_t> index, currentIndex;
        std::optional<std::string> time;
        bool operator==(const SeenRotation&) const = default;
    };
    // A collection without stored rotation state starts at its first bitmap, never changed.
    void ResetRotation();
    // The list clicked last, which Apply and the preview take their bitmap from.
    std::optional<BmpSource> ClickedList() const;
    // The bitmap of a list to apply or preview: the current entry when selected, else the first
    // selected; nothing when nothing is selected.
    std::optional<std::string> SelectedPath(BmpSource source) const;
    // The option buttons of the style and order codes and the codes of the chosen buttons:
    // a code of neither Tile nor Center is None, one of neither Random nor Descending Ascending.
    OptionButton& StyleButton(double styleCode);
    // The style a TileWallpaper record's exact text names, None for any other text.
    static std::int16_t StyleOfText(const std::string& text);
    std::int16_t ChosenStyle() const;
    OptionButton& OrderButton(double orderCode);
    std::int16_t ChosenOrder() const;
    // Writes the tiling flag of the chosen style; None removes the wallpaper instead and gives
    // false.
    bool TileChosenStyle();
    void ApplyPath(const std::string& path);
    void AddBmps(bool selectedOnly);

    Registry& registry_;
    Dialogs& dialogs_;
    const FormPlaces places_;
    const FormRole role_;
    Desktop* desktop_ = nullptr;
    Clock* clock_ = nullptr;
    RandomSource* random_ = nullptr;
    std::unique_ptr<Desktop> ownDesktop_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<RandomSource> ownRandom_;
    bool desktopUnreachable_ = false;
    bool desktopTold_ = false; // the window tells it once a run
    std::string desktopFailure_;
    // The profile's style under which the shown wallpaper was applied, while a newer one is
    // written but no wallpaper call has followed: a refused picture puts it back.
    std::optional<DesktopStyleTexts> styleBefore_;
    bool historyLoaded_ = false;
    // The settings could not be read at the start: what the form holds of them is not the
    // person's, so it is never written back in this run.
    bool settingsUnreadable_ = false;
    // The collection whose rotation state the fields hold, and whether it moved in this run.
    std::string rotationOf_;
    bool rotationMoved_ = false;
    SeenRotation seenRotation_;
    // The first TileWallpaper record of the collection LoadBmpCollection read last: the
    // LoadTileSetting that follows it need not read velum.cfg again.
    std::optional<std::pair<std::string, std::optional<std::string>>> tileRead_;
    // At start-up the collection is loaded twice in a row; the second load takes the first's
    // reading of velum.cfg instead of reading it again, and its bitmaps back from the list.
    bool keepRead_ = false;
    std::optional<std::pair<std::string, StoredRecords>> keptRead_;
    FailureNotices notices_{dialogs_};
    FolderBrowser browser_{Drive1, Dir1};
};

} // namespace velum
