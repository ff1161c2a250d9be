#include <gtest/gtest.h>

#include "common/Files.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

using Strings = std::vector<std::string>;

struct Engine : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeDesktop desktop{reg};
    FakeClock clock;
    FakeRandom random;
    frmWallPaper form{reg, dialogs};
    std::string pics;

    void SetUp() override {
        form.UseDesktop(desktop);
        form.UseClock(clock);
        form.UseRandom(random);
        form.LoadPicture = [](const std::string& p) {
            return p.find("broken") == std::string::npos;
        };
        pics = JoinPath(store.root(), "pics");
        for (const char* name : {"a.bmp", "b.BMP", "c.bmp", "notes.txt", ".hidden.bmp"})
            WriteWholeFile(JoinPath(pics, name), "x");
        form.Dir1.SetPath(pics);
    }
    std::string Pic(const std::string& name) const { return JoinPath(pics, name); }
    void Rotation(const Strings& paths) {
        form.lstRotateBmps.Clear();
        for (const auto& p : paths)
            form.lstRotateBmps.AddItem(p);
    }
    Strings Applied() const {
        Strings out;
        for (const auto& c : desktop.calls)
            out.push_back(c.text);
        return out;
    }
    // Applies `count` times with Next and returns the positions applied.
    std::vector<int> Next(int count) {
        std::vector<int> positions;
        for (int i = 0; i < count; ++i) {
            form.cmdUpdate_click();
            positions.push_back(form.CurrentIndex);
        }
        return positions;
    }
};

} // namespace

TEST_F(Engine, TheFileListShowsBitmapsInAnyLetterCaseAndNoHiddenFiles) {
    EXPECT_EQ(form.filWinBmps.items(), (Strings{"a.bmp", "b.BMP", "c.bmp"}));
}

TEST_F(Engine, ApplyingFromEachListWritesTheTilingFlagFirstAndRecordsHistory) {
    Rotation({"/r/one.bmp", "/r/two.bmp"});
    form.styleGroup.Select(form.optTile);
    form.filWinBmps.SetSelected(1, true);
    form.cmdApply_click();
    ASSERT_EQ(desktop.calls.size(), 2u); // the call is made twice per bitmap
    EXPECT_EQ(desktop.calls[0].text, Pic("b.BMP"));
    EXPECT_EQ(desktop.calls[0].tile, std::string("1\0", 2));
    EXPECT_EQ(form.cmbLastBmps.Text(), Pic("b.BMP"));

    form.styleGroup.Select(form.optCenter);
    form.lstRotateBmps.SetSelected(1, true);
    EXPECT_FALSE(form.filWinBmps.AnySelected());
    form.mnuApply_Click();
    EXPECT_EQ(desktop.calls.back().text, "/r/two.bmp");
    EXPECT_EQ(desktop.calls.back().tile, std::string("0\0", 2));

    desktop.calls.clear();
    form.styleGroup.Select(form.optTile);
    form.lstRotateBmps_DblClick(); // no tiling flag from a double-click in the rotation list
    EXPECT_EQ(desktop.calls.back().tile, std::string("0\0", 2));
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/r/two.bmp", Pic("b.BMP")}));
}

TEST_F(Engine, StyleNoneRemovesTheWallpaperAndTouchesNothingElse) {
    form.styleGroup.Select(form.optNone);
    EXPECT_FALSE(form.filWinBmps.enabled);
    form.filWinBmps.SetSelected(0, true);
    EXPECT_TRUE(form.filWinBmps.enabled); // a click enables the list again
    form.cmdApply_click();
    form.filWinBmps_DblClick();
    EXPECT_EQ(Applied(), (Strings{"(None)", "(None)"}));
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "TileWallpaper"), "<no key>");
    EXPECT_EQ(form.cmbLastBmps.ListCount(), 0);
}

TEST_F(Engine, ApplyBeforeAnyClickWritesTheFlagButAppliesNothing) {
    form.cmdApply_click();
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "TileWallpaper"), std::string("0\0", 2));
}

TEST_F(Engine, AHistoryEntryChosenAndDoubleClickedIsAppliedEvenWhenInTheRotationList) {
    Rotation({Pic("c.bmp")});
    form.cmbLastBmps.AddItem(Pic("c.bmp"));
    form.cmbLastBmps.SetText(Pic("c.bmp"));
    form.cmbLastBmps_Click();
    EXPECT_TRUE(form.filWinBmps.Selected(2));
    EXPECT_TRUE(form.lstRotateBmps.Selected(0));
    form.cmbLastBmps_DblClick();
    EXPECT_EQ(Applied(), (Strings{Pic("c.bmp"), Pic("c.bmp")}));
}

TEST_F(Engine, AscendingWrapsDescendingAndRandomRepairTheirPosition) {
    Rotation({"/0", "/1", "/2"});
    EXPECT_EQ(Next(4), (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(Applied().back(), "/0");

    form.orderGroup.Select(form.optDescending);
    form.NextIndex = 0;
    EXPECT_EQ(Next(2), (std::vector<int>{0, 2}));

    form.orderGroup.Select(form.optRandom);
    Rotation({"/0", "/1", "/2", "/3"});
    form.NextIndex = 5; // beyond a shortened list: |5| mod (4 - 1)
    random.draws = {0.99, 0.0};
    EXPECT_EQ(Next(2), (std::vector<int>{2, 3}));
    EXPECT_EQ(form.NextIndex, 0);
    EXPECT_EQ(random.randomized, 2);

    Rotation({"/only"});
    form.NextIndex = 7;
    EXPECT_EQ(Next(1), (std::vector<int>{0}));
}

TEST_F(Engine, AnEmptyRotationListAppliesNothingButStillAdvances) {
    form.NextIndex = 3;
    form.cmdUpdate_click();
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "TileWallpaper"), std::string("0\0", 2));
    EXPECT_EQ(form.CurrentIndex, 0);
    EXPECT_EQ(form.NextIndex, 1);
    EXPECT_EQ(form.LastChanged.date, clock.now);

    form.styleGroup.Select(form.optNone);
    form.cmdUpdate_click();
    EXPECT_EQ(Applied(), Strings{"(None)"});
}

TEST_F(Engine, TheTimerComparesComponentByComponent) {
    Rotation({"/0", "/1"});
    struct Case {
        DateTime last, now;
        const char *d, *h, *m;
        bool due;
    };
    const Case cases[] = {
        {{2026, 1, 31, 10, 0, 0}, {2026, 2, 1, 10, 0, 0}, "1", "0", "0", true},
        {{2026, 2, 28, 10, 0, 0}, {2026, 3, 1, 10, 0, 0}, "1", "0", "0", true},
        {{2024, 2, 28, 10, 0, 0}, {2024, 3, 1, 10, 0, 0}, "1", "0", "0", true}, // leap year too
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 2, 9, 59, 0}, "1", "0", "0", false},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 11, 30, 0}, "0", "1", "30", true},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 12, 10, 0}, "0", "1", "30", false},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 12, 30, 0}, "0", "1", "30", true},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 10, 0, 30}, "0", "0", "0", true},
        {{2026, 3, 1, 10, 0, 0}, {2026, 5, 1, 9, 0, 0}, "40", "0", "0", true}, // a month passed
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 10, 5, 0}, "x", "", "6", false},
    };
    for (const auto& c : cases) {
        form.LastChangeTick = DateValue::FromText(FormatIsoDateTime(c.last));
        form.txtDays.SetText(c.d);
        form.txtHours.SetText(c.h);
        form.txtMinutes.SetText(c.m);
        clock.now = c.now;
        desktop.calls.clear();
        form.Timer1_Timer();
        EXPECT_EQ(!desktop.calls.empty(), c.due) << FormatIsoDateTime(c.now);
        if (c.due) {
            EXPECT_EQ(form.LastChangeTick.date, c.now);
        }
    }
    form.LastChangeTick = DateValue::FromText("not a date"); // counts as never changed
    desktop.calls.clear();
    form.Timer1_Timer();
    EXPECT_FALSE(desktop.calls.empty());
}

TEST_F(Engine, NextBeforeTheFirstTickLeavesTheReferenceUnset) {
    Rotation({"/0", "/1"});
    form.cmdUpdate_click();
    EXPECT_EQ(form.LastChangeTick.Moment(), ZeroDate());
    EXPECT_EQ(form.Caption.rfind("Velum (Last Changed ", 0), 0u);
    desktop.calls.clear();
    form.Timer1_Timer(); // months > 0 since the zero date
    EXPECT_EQ(Applied(), (Strings{"/1", "/1"}));
}

TEST_F(Engine, AddingSkipsExactDuplicatesButNotOtherLetterCase) {
    Rotation({Pic("a.bmp"), Pic("B.bmp")});
    form.CollectionDirty = false;
    form.cmdAddAll_click();
    EXPECT_EQ(form.lstRotateBmps.items(),
              (Strings{Pic("a.bmp"), Pic("B.bmp"), Pic("b.BMP"), Pic("c.bmp")}));
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_EQ(form.mousePointer, MousePointer::Default);

    form.CollectionDirty = false;
    form.mnuAddAll_Click();
    form.filWinBmps.SetSelected(0, true);
    form.lstRotateBmps_DragDrop();
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 4);
    EXPECT_FALSE(form.CollectionDirty);
}

TEST_F(Engine, AddingStopsAtTheMostACollectionHolds) {
    for (int i = 0; i < 32766; ++i)
        form.lstRotateBmps.AddItem("/x/" + std::to_string(i));
    form.cmdAddAll_click();
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 32767);
    EXPECT_EQ(form.lstRotateBmps.List(32766), Pic("a.bmp"));
}

TEST_F(Engine, RemovingSelectedEntriesKeepsTheOthersInOrder) {
    Rotation({"/0", "/1", "/2", "/3"});
    form.lstRotateBmps.SetSelection([](int i) { return i == 0 || i == 2; });
    form.cmdRemove_click();
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"/1", "/3"}));
    form.lstRotateBmps.SetSelection([](int) { return true; });
    form.mnuRemove_Click();
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    form.CollectionDirty = false;
    form.mnuRemoveAll_Click();
    EXPECT_TRUE(form.CollectionDirty);
}

TEST_F(Engine, HistoryMovesTheAppliedBitmapToTheTopAndKeepsTen) {
    for (int i = 0; i < 11; ++i)
        form.AddLastBmp("/h/" + std::to_string(i));
    ASSERT_EQ(form.cmbLastBmps.ListCount(), 10);
    EXPECT_EQ(form.cmbLastBmps.List(0), "/h/10");
    EXPECT_EQ(form.cmbLastBmps.List(9), "/h/1");
    form.AddLastBmp("/h/7"); // position 3 goes to the top, 0 to 2 move down
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/h/7", "/h/10", "/h/9", "/h/8", "/h/6", "/h/5",
                                                 "/h/4", "/h/3", "/h/2", "/h/1"}));
    form.AddLastBmp("/h/7");
    form.AddLastBmp("/H/7");
    EXPECT_EQ(form.cmbLastBmps.List(1), "/h/7");
}

TEST_F(Engine, PreviewShowsTheClickedEntryAndKeepsTheLastPictureOnFailure) {
    form.chkAutoView.SetValue(1); // no list clicked yet: nothing shown
    EXPECT_EQ(form.imgThumb.picture, "");
    form.filWinBmps.SetSelected(0, true);
    EXPECT_EQ(form.imgThumb.picture, Pic("a.bmp"));
    Rotation({"/p/broken.bmp", "/p/fine.bmp"});
    form.lstRotateBmps.SetSelected(0, true);
    EXPECT_EQ(form.imgThumb.picture, Pic("a.bmp"));
    form.lstRotateBmps.SetSelected(1, true);
    EXPECT_EQ(form.imgThumb.picture, "/p/fine.bmp");
    form.chkAutoView.SetValue(0);
    EXPECT_EQ(form.imgThumb.picture, "");
    form.imgThumb_DblClick(); // unchecked: nothing happens
    EXPECT_TRUE(form.imgThumb.stretch);
    form.chkAutoView.SetValue(1);
    EXPECT_EQ(form.imgThumb.picture, "/p/fine.bmp");
    form.imgThumb_DblClick();
    EXPECT_FALSE(form.imgThumb.stretch);
    form.imgThumb_DblClick();
    EXPECT_TRUE(form.imgThumb.stretch);
    EXPECT_EQ(form.imgThumb.width, 2055);
}

TEST_F(Engine, TheCyclerKeepsNoHistoryAndShowsTheTimeInItsTooltip) {
    frmCycler cycler(reg, dialogs);
    cycler.UseDesktop(desktop);
    cycler.UseClock(clock);
    for (const char* p : {"/c/0", "/c/1"})
        cycler.lstRotateBmps.AddItem(p);
    cycler.cmdUpdate_click();
    EXPECT_EQ(Applied(), (Strings{"/c/0", "/c/0"}));
    EXPECT_EQ(cycler.cmbLastBmps.ListCount(), 0);
    EXPECT_EQ(cycler.cmbLastBmps.Text(), "");
    EXPECT_EQ(cycler.Caption, "Velum");
    EXPECT_EQ(cycler.Image1ToolTip.rfind("Last Changed ", 0), 0u);
    cycler.Form_Resize(true);
    EXPECT_TRUE(cycler.TimerEnabled);
    cycler.Form_Resize(false);
    EXPECT_FALSE(cycler.TimerEnabled);
}
