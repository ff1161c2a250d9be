// Applying bitmaps and running the rotation, in the window and shared with velumspin.
#include "common/DateTime.h"
#include "common/Folders.h"
#include "mainwindow/FormTest.h"
#include "store/ConfigRecord.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

struct Applying : FormTest {
    std::string pics = JoinPath(store.root(), "pics");

    // A form not loaded, browsing a folder of pictures; those named "broken" do not load.
    frmWallPaper& Browsing() {
        auto& form = Make();
        form.LoadPicture = [](const std::string& p) { return p.find("broken") == p.npos; };
        for (const char* name : {"a.bmp", "b.BMP", "c.bmp", "notes.txt", ".hidden.bmp"})
            WriteWholeFile(JoinPath(pics, name), "x");
        form.Dir1.SetPath(pics);
        return form;
    }
    std::string Pic(const std::string& name) const { return JoinPath(pics, name); }
    void Rotation(const Strings& paths) {
        window->lstRotateBmps.Clear();
        for (const auto& p : paths)
            window->lstRotateBmps.AddItem(p);
    }
    // The wallpaper calls since the last look, marked when the tiling flag was on at the time.
    Strings Applied() {
        Strings out;
        for (const auto& c : std::exchange(desktop.calls, {}))
            out.push_back(c.text + (c.tile == "1\0"s ? " (tiled)" : ""));
        return out;
    }
    // A collection's records other than its bitmaps, as stored; the time, which Windows writes in
    // the locale's form, as ISO.
    std::string State(const std::string& name) {
        std::string out;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.name == name && r.key != "Bmp") {
                const auto time =
                    r.key == "Time" ? DateTimeFromText(std::string(r.value)) : std::nullopt;
                out += std::string(r.key) + "=" +
                       (time ? FormatIsoDateTime(*time) : std::string(r.value)) + "|";
            }
        return out;
    }
};

// clang-format off
const Strings kTwo = {"", // a blank line is no history entry
    R"("Bmp","A","/a0.bmp")", R"("Bmp","A","/a1.bmp")", R"("Bmp","A","/a2.bmp")",
    R"("Index","A"," 1")", R"("Time","A","2026-12-01 08:00:00")", R"("CurrentIndex","A"," 0")",
    R"("Bmp","B","/b0.bmp")", R"("Bmp","B","/b1.bmp")", R"("Bmp","","/old.bmp")"};
// clang-format on

} // namespace

TEST_F(Applying, ApplyingFromEachListWritesTheTilingFlagFirstAndRecordsTheHistory) {
    auto& form = Browsing();
    Rotation({"/r/broken.bmp", "/r/two.bmp", Pic("c.bmp")});
    form.chkAutoView.SetValue(1);
    form.styleGroup.Select(form.optTile);
    form.cmdApply_click(); // before any click in a list: nothing to apply
    form.filWinBmps.SetSelected(1, true);
    form.cmdApply_click();
    EXPECT_EQ(Applied(), Strings(2, Pic("b.BMP") + " (tiled)")); // two calls per bitmap

    form.cmbLastBmps.SetText(Pic("c.bmp"));
    form.cmbLastBmps_Click(); // a history entry also in the rotation list
    form.cmbLastBmps_DblClick();
    form.styleGroup.Select(form.optNone); // removes the wallpaper and writes no tiling flag
    form.cmdApply_click();
    form.cmdUpdate_click();
    EXPECT_EQ(Applied(), (Strings{Pic("c.bmp") + " (tiled)", Pic("c.bmp") + " (tiled)",
                                  "(None) (tiled)", "(None) (tiled)"}));

    form.lstRotateBmps.SetSelected(0, true); // a picture that does not load leaves the last
    EXPECT_EQ(form.imgThumb.picture, Pic("c.bmp"));
    form.lstRotateBmps.SetSelected(1, true);
    form.styleGroup.Select(form.optCenter);
    form.lstRotateBmps_DblClick(); // no tiling flag from a double-click in the rotation list
    EXPECT_EQ(Applied(), Strings(2, "/r/two.bmp (tiled)"));
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/r/two.bmp", Pic("c.bmp"), Pic("b.BMP")}));
}

// Fill, Fit and Stretch reach the desktop as Windows' own WallpaperStyle numbers with the tiling
// flag off, and the collection keeps the same numbers; Center and Tile leave WallpaperStyle 0.
TEST_F(Applying, EachStyleWritesWindowsOwnNumbersAndTheCollectionKeepsThem) {
    auto& form = Browsing();
    form.cmbCollection.SetText("Sky");
    form.filWinBmps.SetSelected(0, true);
    std::string seen;
    for (OptionButton* b :
         {&form.optFill, &form.optFit, &form.optStretch, &form.optTile, &form.optCenter}) {
        form.styleGroup.Select(*b);
        form.cmdApply_click();
        const FakeDesktop::Call call = desktop.calls.back();
        seen += call.style.substr(0, call.style.find('\0')) + "/" +
                call.tile.substr(0, call.tile.find('\0')) + " ";
        if (b == &form.optFit) {
            form.mnuSave_Click();
            EXPECT_NE(State("Sky").find("TileWallpaper=6|"), std::string::npos) << State("Sky");
        }
    }
    EXPECT_EQ(seen, "10/0 6/0 2/0 0/1 0/0 ");

    // A picture the desktop refuses leaves the style of the wallpaper still shown.
    desktop.unreadable = Pic("b.BMP");
    form.filWinBmps.SetSelected(1, true);
    form.styleGroup.Select(form.optFill);
    form.cmdApply_click();
    EXPECT_EQ(Applied().back(), Pic("b.BMP"));
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "WallpaperStyle") + "/" +
                  reg.Raw("Control Panel\\desktop", "TileWallpaper"),
              "0\0/0\0"s);
    EXPECT_EQ(form.cmbLastBmps.ListCount(), 1);
}

TEST_F(Applying, TheRotationListAddsOnlyNewPathsApplyFollowsTheBitmapAndTheTickFollowsTheOrder) {
    auto& form = Browsing();
    Rotation({Pic("a.bmp"), Pic("B.bmp")});
    form.filWinBmps.SetSelected(0, true);
    form.lstRotateBmps_DragDrop(); // already there: the collection is unchanged
    EXPECT_FALSE(form.CollectionDirty);
    form.cmdAddAll_click(); // b.BMP and c.bmp
    form.lstRotateBmps.SetSelection([](int i) { return i < 2; });
    form.cmdRemove_click();
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{Pic("b.BMP"), Pic("c.bmp")}));
    const std::string more = JoinPath(store.root(), "more"), other = JoinPath(more, "d.bmp");
    WriteWholeFile(other, "x");
    Rotation({other});
    form.lstRotateBmps.SetSelected(0, true);
    form.cmdApply_click();
    EXPECT_EQ(form.Dir1.Path(), NormalizeFolder(more));
    form.cmdApply_click(); // now from the file list, which shows and selects it
    EXPECT_EQ(Applied(), Strings(4, other));
    form.lstRotateBmps.SetSelected(0, false);
    form.lstRotateBmps_DblClick(); // nothing selected: nothing applied

    Rotation({"/0", "/1", "/2"}); // the order choice and the tick reach the scheduler
    form.orderGroup.Select(form.optDescending);
    form.cmdUpdate_click();
    form.cmdUpdate_click();
    EXPECT_EQ(Applied(), (Strings{"/0", "/0", "/2", "/2"}));
    EXPECT_TRUE(form.LastChangeTick.empty()); // an update by hand is no tick
    // The tick reads the frequency and the last change; one never set is never changed.
    form.txtHours.SetText("1");
    for (int minute : {0, 59, 60}) {
        clock.now = {2026, 3, 1, 10 + minute / 60, minute % 60, 0};
        form.Timer1_Timer();
        EXPECT_EQ(Applied().size(), minute == 59 ? 0u : 2u) << minute;
    }
}

TEST_F(Applying, EachCollectionKeepsItsOwnPositionAndTheHistoryIsOneList) {
    auto& form = Start("A,B", "A", kTwo);
    // A at its stored position 1, B from its first bitmap (no stored state), then A where left.
    for (int minute : {0, 1, 2}) {
        clock.now = {2026, 12, 7, 9, minute, 0};
        form.Timer1_Timer();
        form.cmbCollection.SetListIndex(minute == 0);
    }
    form.mnuExit_Click();
    EXPECT_EQ(Applied(),
              (Strings{"/a1.bmp", "/a1.bmp", "/b0.bmp", "/b0.bmp", "/a2.bmp", "/a2.bmp"}));
    EXPECT_EQ(State("A"), "Index= 3|Time=2026-12-07 09:02:00|CurrentIndex= 2|");
    EXPECT_EQ(State("B"), "Index= 1|Time=2026-12-07 09:01:00|CurrentIndex= 0|");
    EXPECT_EQ(StoredBitmapsOf(store.root(), ""),
              (Strings{"/a2.bmp", "/b0.bmp", "/a1.bmp", "/old.bmp"}));
}

// velumspin moves the rotation beside the window: the window goes on from where velumspin left
// it, writes each change at once (a crash loses nothing applied) and its exit keeps velumspin's.
TEST_F(Applying, TheWindowAndVelumspinFollowOneRotationWrittenAtEachChange) {
    auto& form = Start("A,B", "A", kTwo); // A at position 1 of 3, last changed days ago
    form.txtHours.SetText("1");
    clock.now = {2026, 12, 7, 9, 0, 0};
    Cycle();
    Cycle(); // stores position 3: past the end
    clock.now = {2026, 12, 7, 9, 30, 0};
    form.Timer1_Timer(); // changed half an hour ago, by velumspin: not due
    form.cmdUpdate_click();
    EXPECT_EQ(State("A"), "Index= 1|Time=2026-12-07 09:30:00|CurrentIndex= 0|");
    form.lstRotateBmps.SetSelected(2, true);
    form.lstRotateBmps_DblClick();
    EXPECT_EQ(StoredBitmapsOf(store.root(), ""), (Strings{"/a2.bmp", "/a0.bmp", "/old.bmp"}));

    clock.now = {2026, 12, 7, 9, 45, 0};
    Cycle();
    form.mnuExit_Click();
    EXPECT_EQ(Applied(), (Strings{"/a1.bmp", "/a1.bmp", "/a2.bmp", "/a2.bmp", "/a0.bmp", "/a0.bmp",
                                  "/a2.bmp", "/a2.bmp", "/a1.bmp", "/a1.bmp"}));
    EXPECT_EQ(State("A"), "Index= 2|Time=2026-12-07 09:45:00|CurrentIndex= 1|");
}

TEST_F(Applying, AFailingSettingsFileIsToldOnceUntilAWriteOfItSucceeds) {
    struct : Desktop { // the platform's desktop call, which writes the profile too
        bool* fails;
        DesktopResult SetDeskWallpaper(const std::string&) override {
            return *fails ? throw IoFailure("Could not save user.reg: No space left on device", 28)
                          : DesktopResult::Done;
        }
    } profile;
    profile.fails = &settings.writesFail;
    Make().UseDesktop(profile);
    Rotation({"/a.bmp", "/b.bmp"});
    for (bool fails : {true, true, false, true}) { // told again only after a success
        settings.writesFail = fails;
        window->Timer1_Timer(); // zero frequency: every tick changes the wallpaper
    }
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, "The wallpaper style was not saved.\n\n"
                                        "Could not save user.reg: No space left on device");
    EXPECT_TRUE(window->saveFailed());
}

TEST_F(Applying, ADesktopThatCannotBeReachedIsToldOnceARun) {
    struct : Desktop {
        DesktopResult SetDeskWallpaper(const std::string&) override {
            return DesktopResult::NoDesktop;
        }
        std::string failure() const override { return "the X display :9 did not answer"; }
    } gone;
    Make().UseDesktop(gone);
    Rotation({"/a.bmp", "/b.bmp"});
    for (int tick = 0; tick < 2; ++tick)
        window->Timer1_Timer(); // two changes, each two calls
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "No desktop could be reached (the X display :9 did not "
                                        "answer); the wallpaper was not changed.");
}
