#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "common/Registry.h"
#include "mainwindow/Controls.h"
#include "mainwindow/DateValue.h"
#include "mainwindow/Dialogs.h"

namespace velum {

inline constexpr char kProgramTitle[] = "Velum";

// The main window's behaviour, shared by velumdesk and velumspin, with no toolkit: its controls
// as plain state, its fields and its handlers. A view draws this state and hands the person's
// actions to the handlers.
class frmWallPaper {
  public:
    enum class Kind { Desk, Cycler };

    frmWallPaper(Registry& registry, Dialogs& dialogs, Kind kind = Kind::Desk);
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
    bool filWinBmpsEnabled = true;
    std::string Caption = kProgramTitle;
    std::string Image1ToolTip; // velumspin shows the time of the last change here
    MousePointer mousePointer = MousePointer::Default;

    // Fields.
    bool CollectionDirty = false;
    std::string LoadedCollectionName;
    std::string LastClickedList;
    std::int16_t NextIndex = 0;
    std::int16_t CurrentIndex = 0;
    DateValue TickTime, LastChangeTick, LastChanged;
    std::int16_t WallpaperStyle = 0; // 0 Center, 1 Tile, 99 None
    std::int16_t CycleOrder = 0;     // 0 Ascending, 1 Random, 2 Descending
    std::string CollectionsList;
    // Collections deleted in this run; only their bitmaps leave velum.cfg at exit.
    std::set<std::string> DeletedCollections;

    bool isCycler() const { return kind_ == Kind::Cycler; }
    // True once a write of the store has failed in this run.
    bool saveFailed() const { return saveFailed_; }

    // Start-up and exit.
    virtual void Form_Load();
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
    void optNone_Click();
    void optCenter_Click();
    void optTile_Click();
    void optAscending_Click();
    void optRandom_Click();
    void optDescending_Click();
    void txtDays_Change() { CollectionDirty = true; }
    void txtHours_Change() { CollectionDirty = true; }
    void txtMinutes_Change() { CollectionDirty = true; }
    void lstRotateBmps_Click();
    void chkAutoView_Click() {}

  protected:
    Registry& registry_;
    Dialogs& dialogs_;

    // Puts a failed write or read before the person and remembers it.
    void ReportFailure(const std::string& what, const std::exception& e);

  private:
    void ShowLastChanged();

    Kind kind_;
    bool saveFailed_ = false;
    bool readFailureReported_ = false;
};

// velumspin's window: never shown; its load applies the next bitmap and ends the program.
class frmCycler final : public frmWallPaper {
  public:
    frmCycler(Registry& registry, Dialogs& dialogs)
        : frmWallPaper(registry, dialogs, Kind::Cycler) {}
};

} // namespace velum
