#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "common/Clock.h"
#include "common/DateValue.h"
#include "common/Dialogs.h"
#include "common/Registry.h"
#include "engine/Desktop.h"
#include "engine/Scheduler.h"
#include "mainwindow/Controls.h"

namespace velum {

// LastClickedList's values: the list a bitmap is applied from.
inline constexpr char kFileListClicked[] = "FillWin";
inline constexpr char kRotationListClicked[] = "Rotate";
// The collection a first run works on.
inline constexpr char kDefaultCollection[] = "Default";

// The list ApplyBmp takes the bitmap from.
enum class BmpSource { FileList = 1, RotationList = 2 };

// The main window's behaviour, shared by velumdesk and velumspin, with no toolkit: its controls
// as plain state, its fields and its handlers. A view draws this state and hands the person's
// actions to the handlers.
class frmWallPaper {
  public:
    enum class Kind { Desk, Cycler };

    frmWallPaper(Registry& registry, Dialogs& dialogs, Kind kind = Kind::Desk);

    // The services the form calls; without them the form uses the system's own.
    void UseDesktop(Desktop& desktop) { desktop_ = &desktop; }
    void UseClock(Clock& clock) { clock_ = &clock; }
    void UseRandom(RandomSource& random) { random_ = &random; }
    // How the preview loads a picture; true when the file could be shown.
    std::function<bool(const std::string&)> LoadPicture;
    virtual ~frmWallPaper() = default;
    frmWallPaper(const frmWallPaper&) = delete;
    frmWallPaper& operator=(const frmWallPaper&) = delete;

    // Controls.
    ComboBox cmbCollection;
    ListBox lstRotateBmps;
    ComboBox cmbLastBmps;
    TextBox txtDays, txtHours, txtMinutes;
    OptionButton optTile, optCenter, optNone;
    OptionButton optAscending, optRandom, optDescending;
    OptionGroup styleGroup{&optTile, &optCenter, &optNone};
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

    bool isCycler() const { return kind_ == Kind::Cycler; }
    // True once a write of the store has failed in this run.
    bool saveFailed() const { return saveFailed_; }
    // True once a wallpaper call in this run reached no desktop.
    bool desktopUnreachable() const { return desktopUnreachable_; }
    // What the desktop call said about the last desktop it could not reach.
    const std::string& desktopFailure() const { return desktopFailure_; }

    static constexpr int kTimerIntervalMs = 30000;

    // Start-up and exit.
    virtual void Form_Load();
    // Whenever the window is resized: velumspin's minimised-window timer rule.
    void Form_Resize(bool minimised);
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
    void cmbCollection_Change() {}
    void mnuDelete_Click();
    void mnuSave_Click();

    // Loading and saving.
    void LoadBmpCollection(const std::string& name);
    void LoadTileSetting(const std::string& name);
    void SaveBmpCollection(const std::string& name);
    void SaveBmpCombo();

    // Handlers whose dirty rules loading relies on.
    void optNone_Click() { StyleClicked(style::kNone); }
    void optCenter_Click() { StyleClicked(style::kCenter); }
    void optTile_Click() { StyleClicked(style::kTile); }
    void optAscending_Click() { OrderClicked(order::kAscending); }
    void optRandom_Click() { OrderClicked(order::kRandom); }
    void optDescending_Click() { OrderClicked(order::kDescending); }
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
    void SetTileWallpaper(int styleCode);

    // The scheduler.
    void ApplyNextBmp();
    void cmdUpdate_click() { ApplyNextBmp(); }
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

  protected:
    Registry& registry_;
    Dialogs& dialogs_;

    // The files of the store a failure is told about.
    // (A read of velum.cfg is told once a run, apart from its writes.)
    enum class StoreFile { Settings, Config, ConfigRead };
    // Puts a failed write or read of `file` before the person, once until a write of that file
    // succeeds again, and remembers it.
    void ReportFailure(StoreFile file, const std::string& what, const std::exception& e);
    void WriteSucceeded(StoreFile file);

  private:
    void ShowLastChanged();
    // SaveOptions in velumdesk, reporting a failure; nothing in velumspin.
    void SaveSettings();
    // A style or order button was chosen: a change marks the collection.
    void StyleClicked(std::int16_t styleCode);
    void OrderClicked(std::int16_t order);
    void SystemParametersInfoA(const std::string& text);
    // Refuses a typed name with a comma (one not loaded as stored): tells the person and shows
    // the loaded name again. True when refused.
    bool RefuseCommaName();
    // Writes the history and `collection`'s rotation state, as the exit does.
    void SaveRotationOf(const std::string& collection);
    // A collection without stored rotation state starts at its first bitmap, never changed.
    void ResetRotation();
    // The entry of a list to apply or preview: the current one when selected, else the first
    // selected; -1 when nothing is selected.
    static int SelectedEntry(const ListBox& list);
    // Shows a volume in the drive list without moving the folder list.
    void SetDriveQuietly(const std::string& volume);
    // The style code of the chosen option; None removes the wallpaper and gives false.
    bool ChooseStyle(int& styleCode);
    // The order code of the chosen order button.
    std::int16_t ChosenOrder() const;
    void ApplyPath(const std::string& path);
    void AddBmps(bool selectedOnly);
    void SelectWhere(ListBox& list, const std::function<bool(int)>& want);

    Kind kind_;
    Desktop* desktop_ = nullptr;
    Clock* clock_ = nullptr;
    RandomSource* random_ = nullptr;
    std::unique_ptr<Desktop> ownDesktop_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<RandomSource> ownRandom_;
    bool saveFailed_ = false;
    bool desktopUnreachable_ = false;
    std::string desktopFailure_;
    bool quietDriveChange_ = false;
    bool historyLoaded_ = false;
    // The collection whose rotation state the fields hold, and whether it moved in this run.
    std::string rotationOf_;
    bool rotationMoved_ = false;
    std::set<StoreFile> failing_;
    std::map<std::string, std::string> lastFolderOnVolume_;
};

// velumspin's window: never shown; its load applies the next bitmap and ends the program.
class frmCycler final : public frmWallPaper {
  public:
    frmCycler(Registry& registry, Dialogs& dialogs)
        : frmWallPaper(registry, dialogs, Kind::Cycler) {}
    // The one-shot start-up: load, apply the next bitmap, record the position.
    void Form_Load() override;
    void Image1_Click() {}
};

} // namespace velum
