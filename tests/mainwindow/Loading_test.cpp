#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

struct Loading : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs};

    void Config(const std::vector<std::string>& lines) {
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(lines));
    }
};

std::string Sz(const std::string& s) {
    return s + std::string(1, '\0');
}

} // namespace

TEST_F(Loading, TheWorkedExampleIsWrittenByTheFormAndReadBack) {
    // Save Default, then Nature, then leave with Nature shown after two changes.
    form.Form_Load();
    for (auto* p : {R"(C:\WINDOWS\Clouds.bmp)", R"(C:\WINDOWS\Setup.bmp)"})
        form.lstRotateBmps.AddItem(p);
    form.txtMinutes.SetText("0");
    form.txtHours.SetText("1");
    form.txtDays.SetText("0");
    form.styleGroup.Select(form.optTile);
    form.mnuSave_Click();

    form.cmbCollection.SetText("Nature");
    form.cmbCollection_LostFocus();
    for (auto* p :
         {R"(C:\Pictures\Forest.bmp)", R"(C:\Pictures\Lake.bmp)", R"(C:\Pictures\Meadow.bmp)"})
        form.lstRotateBmps.AddItem(p);
    form.txtHours.SetText("0");
    form.txtDays.SetText("1");
    form.styleGroup.Select(form.optCenter);
    form.mnuSave_Click();

    form.cmbLastBmps.Clear();
    form.cmbLastBmps.AddItem(R"(C:\Pictures\Lake.bmp)");
    form.cmbLastBmps.AddItem(R"(C:\Pictures\Forest.bmp)");
    form.NextIndex = 2;
    form.CurrentIndex = 1;
    form.LastChanged = DateValue::FromText("6/12/98 4:37:38 PM");
    form.mnuExit_Click();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), CrlfJoin(kWorkedExample));
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), Sz("Default,Nature"));
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), Sz("Nature"));

    frmWallPaper again(reg, dialogs);
    again.Form_Load();
    EXPECT_EQ(again.cmbCollection.Text(), "Nature");
    EXPECT_EQ(again.lstRotateBmps.items(),
              (std::vector<std::string>{R"(C:\Pictures\Forest.bmp)", R"(C:\Pictures\Lake.bmp)",
                                        R"(C:\Pictures\Meadow.bmp)"}));
    EXPECT_EQ(again.cmbLastBmps.items(),
              (std::vector<std::string>{R"(C:\Pictures\Lake.bmp)", R"(C:\Pictures\Forest.bmp)"}));
    EXPECT_EQ(again.cmbLastBmps.Text(), R"(C:\Pictures\Lake.bmp)");
    EXPECT_EQ(again.NextIndex, 2);
    EXPECT_EQ(again.CurrentIndex, 1);
    EXPECT_EQ(again.LastChanged.StoredText(), "6/12/98 4:37:38 PM");
    EXPECT_EQ(again.txtDays.Text(), "1");
    EXPECT_EQ(again.txtHours.Text(), "0");
    EXPECT_TRUE(again.optCenter.Value());
    EXPECT_TRUE(again.optAscending.Value());
    EXPECT_EQ(again.WallpaperStyle, 0);
    EXPECT_FALSE(again.CollectionDirty);
    EXPECT_EQ(again.Caption.rfind("Velum - (Last Changed ", 0), 0u);

    // Leaving again writes the same file: the time read is written back unchanged.
    again.mnuExit_Click();
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), CrlfJoin(kWorkedExample));
}

TEST_F(Loading, ACollectionWithoutRecordsKeepsWhatTheWindowHeld) {
    Config({R"("Bmp","","h.bmp")", R"("Days","Other","4")"});
    form.txtDays.SetText("9");
    form.orderGroup.Select(form.optRandom);
    form.NextIndex = 5;
    form.Caption = "before";
    form.lstRotateBmps.AddItem("stale.bmp");
    form.LoadBmpCollection("Nature");
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    EXPECT_EQ(form.cmbLastBmps.items(), std::vector<std::string>{"h.bmp"});
    EXPECT_EQ(form.txtDays.Text(), "9");
    EXPECT_TRUE(form.optRandom.Value());
    EXPECT_EQ(form.NextIndex, 5);
    EXPECT_EQ(form.Caption, "before");
}

TEST_F(Loading, StyleAndOrderValuesAndTheTwoLoadersDisagreeingOnOddValues) {
    struct Case {
        const char* tile;
        OptionButton frmWallPaper::*byLoader;
        OptionButton frmWallPaper::*bySetting;
    };
    const Case cases[] = {
        {"99", &frmWallPaper::optNone, &frmWallPaper::optNone},
        {"", &frmWallPaper::optCenter, &frmWallPaper::optNone},
        {" 1", &frmWallPaper::optTile, &frmWallPaper::optNone},
        {"1", &frmWallPaper::optTile, &frmWallPaper::optTile},
        {"0", &frmWallPaper::optCenter, &frmWallPaper::optCenter},
    };
    for (const auto& c : cases) {
        Config({std::string(R"("TileWallpaper","N",")") + c.tile + "\""});
        form.LoadBmpCollection("N");
        EXPECT_TRUE((form.*c.byLoader).Value()) << c.tile;
        form.LoadTileSetting("N");
        EXPECT_TRUE((form.*c.bySetting).Value()) << c.tile;
    }
    Config({R"("CycleOptions","N","2.0")"});
    form.LoadBmpCollection("N");
    EXPECT_TRUE(form.optDescending.Value());
    Config({R"("CycleOptions","N","3")"});
    form.LoadBmpCollection("N");
    EXPECT_TRUE(form.optAscending.Value());
    EXPECT_EQ(form.CycleOrder, 0);
}

TEST_F(Loading, IndexValuesRoundHalvesToEvenAndOutOfRangeIsSkipped) {
    const std::pair<const char*, int> cases[] = {{" 2", 2},  {"2.5", 2},    {"3.5", 4},
                                                 {"-1", -1}, {"70000", -1}, {"abc", 0}};
    for (auto [text, expected] : cases) {
        Config({std::string(R"("Index","N",")") + text + "\""});
        form.LoadBmpCollection("N");
        EXPECT_EQ(form.NextIndex, expected) << text;
    }
}

TEST_F(Loading, NamesMatchCaseSensitivelyAndLaterRecordsWin) {
    Config({R"("Bmp","default","x.bmp")", R"("Days","Default","1")", R"("Days","Default","2")",
            R"("Bmp","Default","a.bmp")", R"("Bmp","Default","a.bmp")"});
    form.LoadBmpCollection("Default");
    EXPECT_EQ(form.lstRotateBmps.items(), (std::vector<std::string>{"a.bmp", "a.bmp"}));
    EXPECT_EQ(form.txtDays.Text(), "2");
}

TEST_F(Loading, PathsWithCommasSurviveASaveAndALoad) {
    form.Form_Load();
    form.lstRotateBmps.AddItem("/home/ann/Pictures/Sea, sun/a.bmp");
    form.mnuSave_Click();
    form.cmbLastBmps.AddItem("/home/ann/x,y.bmp");
    form.mnuExit_Click();
    frmWallPaper again(reg, dialogs);
    again.Form_Load();
    EXPECT_EQ(again.lstRotateBmps.items(),
              std::vector<std::string>{"/home/ann/Pictures/Sea, sun/a.bmp"});
    EXPECT_EQ(again.cmbLastBmps.Text(), "/home/ann/x,y.bmp");
}

TEST_F(Loading, CyclerLeavesHistoryAloneAndLoadsNothingForAnEmptyName) {
    Config({R"("Bmp","","h.bmp")", R"("Time","N","2026-12-06 19:04:05")", R"("Bmp","N","n.bmp")"});
    frmCycler cycler(reg, dialogs);
    cycler.cmbLastBmps.AddItem("kept.bmp");
    cycler.LoadBmpCollection("N");
    EXPECT_EQ(cycler.lstRotateBmps.items(), std::vector<std::string>{"n.bmp"});
    EXPECT_EQ(cycler.cmbLastBmps.items(), std::vector<std::string>{"kept.bmp"});
    EXPECT_EQ(cycler.Caption, "Velum");
    EXPECT_EQ(cycler.Image1ToolTip.rfind("Last Changed ", 0), 0u);

    cycler.LoadBmpCollection("");
    EXPECT_EQ(cycler.lstRotateBmps.ListCount(), 0);
}

TEST_F(Loading, CyclerRotationSaveKeepsHistoryAndTouchesNoSettings) {
    reg.Put(kOptionsKey, "Collections", REG_SZ, Sz("N"));
    reg.Put(kOptionsKey, "Current", REG_SZ, Sz("N"));
    reg.Put(kOptionsKey, "ViewBmp", REG_SZ, Sz("YES"));
    Config({R"("Bmp","","h.bmp")", R"("Index","N"," 0")", R"("Bmp","N","n.bmp")"});
    frmCycler cycler(reg, dialogs);
    FakeDesktop desktop(reg);
    FakeClock clock;
    cycler.UseDesktop(desktop);
    cycler.UseClock(clock);
    cycler.Form_Load();
    EXPECT_EQ(cycler.chkAutoView.Value(), 0);
    EXPECT_EQ(desktop.calls.size(), 2u);
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")),
              (std::vector<std::string>{
                  R"("Index","N"," 1")", R"("Time","N","2026-12-06 19:04:05")",
                  R"("CurrentIndex","N"," 0")", R"("Bmp","","h.bmp")", R"("Bmp","N","n.bmp")"}));
}

TEST_F(Loading, AnUnreadableFileIsReportedOnceAndNeverRewritten) {
    // A folder where the file should be cannot be read, whoever runs the test.
    std::string cfg = store.file("velum.cfg");
    WriteWholeFile(cfg + "/inside", "x");
    reg.Put(kOptionsKey, "Collections", REG_SZ, Sz("A,B"));
    reg.Put(kOptionsKey, "Current", REG_SZ, Sz("A"));
    form.Form_Load();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    form.cmbCollection.SetListIndex(1);
    EXPECT_EQ(dialogs.messages.size(), 1u); // told once
    form.lstRotateBmps.AddItem("x.bmp");
    form.CollectionDirty = true;
    form.mnuSave_Click();
    EXPECT_TRUE(form.CollectionDirty); // not saved, so still to be saved
    EXPECT_EQ(form.mousePointer, MousePointer::Default);
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].text.find("\"B\" was not saved"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(cfg + "/inside"), "x");
    EXPECT_TRUE(form.saveFailed());
}

TEST_F(Loading, AStaleTemporaryFileDoesNotReachTheStore) {
    WriteWholeFile(store.file("~velum.tmp"), CrlfJoin({R"("Bmp","Ghost","g.bmp")"}));
    form.Form_Load();
    form.mnuSave_Click();
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find("Ghost"), std::string::npos);
}
