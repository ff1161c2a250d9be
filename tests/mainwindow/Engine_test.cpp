#include <gtest/gtest.h>

#include "common/Files.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

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
    std::string pics = JoinPath(store.root(), "pics");

    void SetUp() override {
        form.UseDesktop(desktop);
        form.UseClock(clock);
        form.UseRandom(random);
        form.LoadPicture = [](const std::string& p) { return p.find("broken") == p.npos; };
        for (const char* name : {"a.bmp", "b.BMP", "c.bmp", "notes.txt", ".hidden.bmp"})
            WriteWholeFile(JoinPath(pics, name), "x");
        form.Dir1.SetPath(pics);
    }
    std::string Pic(const std::string& name) const { return JoinPath(pics, name); }
    std::string Tile() const { return reg.Raw("Control Panel\\desktop", "TileWallpaper"); }
    void Rotation(const Strings& paths) {
        form.lstRotateBmps.Clear();
        for (const auto& p : paths)
            form.lstRotateBmps.AddItem(p);
    }
    // The wallpaper calls since the last look, marked when the tiling flag was on at the time.
    Strings Applied() {
        Strings out;
        for (const auto& c : desktop.calls)
            out.push_back(c.tile == "1\0"s ? c.text + " (tiled)" : c.text);
        desktop.calls.clear();
        return out;
    }
    int Next() { return form.cmdUpdate_click(), form.CurrentIndex; }
};

} // namespace

TEST_F(Engine, ApplyingFromEachListWritesTheTilingFlagFirstAndRecordsHistory) {
    EXPECT_EQ(form.filWinBmps.items(), (Strings{"a.bmp", "b.BMP", "c.bmp"}));
    form.cmdApply_click(); // before any click in a list: only the flag
    EXPECT_EQ(Tile(), "0\0"s);
    Rotation({"/r/one.bmp", "/r/two.bmp"});
    form.styleGroup.Select(form.optTile);
    form.filWinBmps.SetSelected(1, true);
    form.cmdApply_click();
    EXPECT_EQ(Applied(), Strings(2, Pic("b.BMP") + " (tiled)")); // two calls per bitmap

    form.styleGroup.Select(form.optCenter);
    form.lstRotateBmps.SetSelected(1, true);
    form.mnuApply_Click();
    form.styleGroup.Select(form.optTile);
    form.lstRotateBmps_DblClick(); // no tiling flag from a double-click in the rotation list
    EXPECT_EQ(Applied(), Strings(4, "/r/two.bmp"));

    form.cmbLastBmps.SetText(Pic("c.bmp"));
    form.lstRotateBmps.AddItem(Pic("c.bmp"));
    form.cmbLastBmps_Click(); // a history entry also in the rotation list
    form.cmbLastBmps_DblClick();
    EXPECT_EQ(Applied(), Strings(2, Pic("c.bmp") + " (tiled)"));

    form.styleGroup.Select(form.optNone); // removes the wallpaper and touches nothing else
    form.filWinBmps.SetSelected(0, true);
    form.cmdApply_click();
    form.filWinBmps_DblClick();
    form.cmdUpdate_click();
    EXPECT_EQ(Applied(), Strings(3, "(None) (tiled)"));
    EXPECT_EQ(Tile(), "1\0"s);
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{Pic("c.bmp"), "/r/two.bmp", Pic("b.BMP")}));
}

TEST_F(Engine, AscendingWrapsDescendingAndRandomRepairTheirPosition) {
    form.NextIndex = 3;
    EXPECT_EQ(Next(), 0); // an empty rotation list applies nothing but advances
    EXPECT_EQ(form.LastChanged.date, clock.now);
    EXPECT_TRUE(Applied().empty());

    Rotation({"/0", "/1", "/2"});
    EXPECT_EQ((std::vector{Next(), Next(), Next(), Next()}), (std::vector{1, 2, 0, 1}));
    form.orderGroup.Select(form.optDescending);
    form.NextIndex = 0;
    EXPECT_EQ((std::vector{Next(), Next()}), (std::vector{0, 2}));

    form.orderGroup.Select(form.optRandom);
    Rotation({"/0", "/1", "/2", "/3"});
    form.NextIndex = 5; // beyond a shortened list: |5| mod (4 - 1)
    random.draws = {0.99, 0.0};
    EXPECT_EQ((std::vector{Next(), Next(), Next()}), (std::vector{2, 3, 0}));
    EXPECT_EQ(random.randomized, 3);
    Rotation({"/only"});
    form.NextIndex = 7;
    EXPECT_EQ(Next(), 0);
}

TEST_F(Engine, TheTimerComparesComponentByComponent) {
    Rotation({"/0", "/1"});
    form.cmdUpdate_click(); // Next before the first tick leaves the reference unset
    EXPECT_EQ(form.LastChangeTick.Moment(), ZeroDate());
    form.Timer1_Timer(); // months > 0 since the zero date
    EXPECT_EQ(Applied(), (Strings{"/0", "/0", "/1", "/1"}));

    const std::tuple<DateTime, DateTime, const char*, const char*, const char*, bool> cases[] = {
        {{2026, 1, 31, 10, 0, 0}, {2026, 2, 1, 10, 0, 0}, "1", "0", "0", true},
        {{2026, 2, 28, 10, 0, 0}, {2026, 3, 1, 10, 0, 0}, "2", "0", "0", false}, // 28 in Feb
        {{2024, 2, 28, 10, 0, 0}, {2024, 3, 1, 10, 0, 0}, "1", "0", "0", true},  // leap year too
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 2, 9, 59, 0}, "1", "0", "0", false},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 11, 30, 0}, "0", "1", "30", true},
        {{2026, 3, 1, 10, 0, 0}, {2026, 3, 1, 12, 10, 0}, "0", "1", "30", false},
        {{2026, 4, 30, 10, 0, 0}, {2026, 5, 1, 10, 0, 0}, "2", "0", "0", false}, // 30 in Apr
        {{2026, 3, 1, 10, 0, 0}, {2026, 5, 1, 9, 0, 0}, "40", "0", "0", true},   // a month passed
    };
    for (const auto& [last, now, d, h, m, due] : cases) {
        form.LastChangeTick = DateValue::FromText(FormatIsoDateTime(last));
        form.txtDays.SetText(d);
        form.txtHours.SetText(h);
        form.txtMinutes.SetText(m);
        clock.now = now;
        form.Timer1_Timer();
        EXPECT_EQ(!Applied().empty(), due) << FormatIsoDateTime(now);
        EXPECT_EQ(form.LastChangeTick.date == now, due) << FormatIsoDateTime(now);
    }
    form.LastChangeTick = DateValue::FromText("not a date"); // counts as never changed
    form.Timer1_Timer();
    EXPECT_FALSE(Applied().empty());
}

TEST_F(Engine, TheRotationListAddsOnlyNewPathsUpToTheMostItHoldsAndRemovesInOrder) {
    Rotation({Pic("a.bmp"), Pic("B.bmp")});
    form.cmdAddAll_click();
    EXPECT_EQ(form.lstRotateBmps.items(),
              (Strings{Pic("a.bmp"), Pic("B.bmp"), Pic("b.BMP"), Pic("c.bmp")}));
    EXPECT_TRUE(form.CollectionDirty);
    form.CollectionDirty = false;
    form.filWinBmps.SetSelected(0, true);
    form.lstRotateBmps_DragDrop();
    EXPECT_FALSE(form.CollectionDirty);

    form.lstRotateBmps.SetSelection([](int i) { return i == 0 || i == 2; });
    form.cmdRemove_click();
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{Pic("B.bmp"), Pic("c.bmp")}));
    form.CollectionDirty = false;
    form.mnuRemoveAll_Click();
    EXPECT_TRUE(form.CollectionDirty && form.lstRotateBmps.ListCount() == 0);

    for (int i = 0; i < 32766; ++i)
        form.lstRotateBmps.AddItem("/x/" + std::to_string(i));
    form.cmdAddAll_click();
    EXPECT_EQ(form.lstRotateBmps.items().back(), Pic("a.bmp")); // entry 32767, the last one
}

TEST_F(Engine, HistoryMovesTheAppliedBitmapToTheTopAndKeepsTenButTheCyclerKeepsNone) {
    for (int i = 0; i < 11; ++i)
        form.AddLastBmp("/h/" + std::to_string(i));
    for (const char* again : {"/h/7", "/h/7", "/H/7"})
        form.AddLastBmp(again);
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/H/7", "/h/7", "/h/10", "/h/9", "/h/8", "/h/6",
                                                 "/h/5", "/h/4", "/h/3", "/h/2"}));

    frmCycler cycler(reg, dialogs);
    cycler.UseDesktop(desktop);
    cycler.lstRotateBmps.AddItem("/c/0");
    cycler.cmdUpdate_click();
    EXPECT_EQ(Applied(), Strings(2, "/c/0"));
    EXPECT_EQ(cycler.cmbLastBmps.ListCount(), 0);
    EXPECT_EQ(cycler.Caption, "Velum"); // the time goes to the tooltip
    EXPECT_EQ(cycler.Image1ToolTip.rfind("Last Changed ", 0), 0u);
}

TEST_F(Engine, PreviewKeepsTheLastPictureOnFailureAndTogglesNaturalSize) {
    form.chkAutoView.SetValue(1);
    form.filWinBmps.SetSelected(0, true);
    Rotation({"/p/broken.bmp", "/p/fine.bmp"});
    form.lstRotateBmps.SetSelected(0, true);
    EXPECT_EQ(form.imgThumb.picture, Pic("a.bmp"));
    form.lstRotateBmps.SetSelected(1, true);
    EXPECT_EQ(form.imgThumb.picture, "/p/fine.bmp");
    form.imgThumb_DblClick();
    EXPECT_FALSE(form.imgThumb.stretch);
    form.imgThumb_DblClick();
    EXPECT_TRUE(form.imgThumb.stretch && form.imgThumb.width == 2055);
}
