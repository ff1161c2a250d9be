#include <gtest/gtest.h>

#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

using Strings = std::vector<std::string>;

struct Applying : ::testing::Test {
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
    void Rotation(const Strings& paths) {
        form.lstRotateBmps.Clear();
        for (const auto& p : paths)
            form.lstRotateBmps.AddItem(p);
    }
    // The wallpaper calls since the last look, marked when the tiling flag was on at the time.
    Strings Applied() {
        Strings out;
        for (const auto& c : std::exchange(desktop.calls, {}))
            out.push_back(c.text + (c.tile == "1\0"s ? " (tiled)" : ""));
        return out;
    }
    int Next() {
        form.cmdUpdate_click();
        return form.CurrentIndex;
    }
};

} // namespace

TEST_F(Applying, ApplyingFromEachListWritesTheTilingFlagFirstAndRecordsTheLastTen) {
    EXPECT_EQ(form.filWinBmps.items(), (Strings{"a.bmp", "b.BMP", "c.bmp"}));
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
    EXPECT_EQ(form.imgThumb.picture, "/r/two.bmp");
    form.styleGroup.Select(form.optCenter);
    form.lstRotateBmps_DblClick(); // no tiling flag from a double-click in the rotation list
    EXPECT_EQ(Applied(), Strings(2, "/r/two.bmp (tiled)"));
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/r/two.bmp", Pic("c.bmp"), Pic("b.BMP")}));
    // Repeats go to the top, compared case by case.
    for (const char* p : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "h", "h", "H"})
        form.AddLastBmp(p);
    EXPECT_EQ(form.cmbLastBmps.items(),
              (Strings{"H", "h", "k", "j", "i", "g", "f", "e", "d", "c"}));
}

TEST_F(Applying, AscendingWrapsDescendingAndRandomRepairTheirPosition) {
    form.NextIndex = 3; // beyond the list: ascending starts again at 0
    Rotation({"/0", "/1", "/2"});
    EXPECT_EQ(Next(), 0);
    EXPECT_EQ((std::vector{Next(), Next(), Next(), Next()}), (std::vector{1, 2, 0, 1}));
    form.orderGroup.Select(form.optDescending);
    EXPECT_EQ((std::vector{Next(), Next(), Next(), Next()}), (std::vector{2, 1, 0, 2}));

    form.orderGroup.Select(form.optRandom);
    form.NextIndex = 5; // beyond a shortened list: |5| mod (3 - 1)
    random.draws = {0.99, 0.0, 0.99};
    EXPECT_EQ((std::vector{Next(), Next(), Next()}), (std::vector{1, 2, 0}));
    Rotation({"/only"}); // the next index, 2, is beyond it
    EXPECT_EQ(Next(), 0);
    EXPECT_TRUE(form.LastChangeTick.empty()); // no tick yet: the reference stays unset
}

TEST_F(Applying, ATickAppliesWhenTheFrequencyHasPassedAndBecomesTheNewReference) {
    Rotation({"/0", "/1"});
    form.LastChangeTick = DateValue::FromText("2026-03-01 10:00:00");
    form.txtHours.SetText("1");
    clock.now = {2026, 3, 1, 10, 59, 0};
    form.Timer1_Timer();
    EXPECT_TRUE(Applied().empty());
    clock.now = {2026, 3, 1, 11, 0, 0};
    form.Timer1_Timer();
    EXPECT_EQ(Applied(), Strings(2, "/0"));
    EXPECT_EQ(form.LastChangeTick.date, clock.now);
}

TEST_F(Applying, AnUnreadableLastChangeCountsAsNeverChanged) {
    Rotation({"/0"});
    form.LastChangeTick = DateValue::FromText("not a date");
    form.txtDays.SetText("40");
    clock.now = {2026, 5, 1, 9, 0, 0};
    form.Timer1_Timer();
    EXPECT_EQ(Applied(), Strings(2, "/0"));
}

TEST_F(Applying, TheRotationListAddsOnlyNewPathsAndRemovesInOrder) {
    Rotation({Pic("a.bmp"), Pic("B.bmp")});
    form.filWinBmps.SetSelected(0, true);
    form.lstRotateBmps_DragDrop(); // already there: the collection is unchanged
    EXPECT_FALSE(form.CollectionDirty);
    form.cmdAddAll_click(); // b.BMP and c.bmp
    form.lstRotateBmps.SetSelection([](int i) { return i < 2; });
    form.cmdRemove_click();
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{Pic("b.BMP"), Pic("c.bmp")}));
}

TEST_F(Applying, ASecondApplyAppliesTheSameBitmapAfterTheBrowserFollowedIt) {
    const std::string more = JoinPath(store.root(), "more"), other = JoinPath(more, "d.bmp");
    WriteWholeFile(other, "x");
    Rotation({other});
    form.lstRotateBmps.SetSelected(0, true);
    form.cmdApply_click();
    EXPECT_EQ(form.Dir1.Path(), NormalizeFolder(more));
    form.cmdApply_click(); // now from the file list, which shows and selects it
    EXPECT_EQ(Applied(), Strings(4, other));
}

TEST_F(Applying, NothingSelectedInTheListToApplyFromAppliesNothing) {
    form.filWinBmps.SetSelected(0, true);
    form.filWinBmps.SetSelection([](int) { return false; }); // cleared from code
    form.cmdApply_click();
    EXPECT_TRUE(Applied().empty());
    Rotation({"/r/one.bmp"});
    form.lstRotateBmps.SetSelected(0, true);
    form.lstRotateBmps.SetSelected(0, false);
    form.lstRotateBmps_DblClick();
    EXPECT_TRUE(Applied().empty());
}

namespace {

// A settings store whose writes fail while `failing` is set, as a full disk makes user.reg's.
struct FailingWrites final : Registry {
    MemoryRegistry& inner;
    bool failing = true;
    explicit FailingWrites(MemoryRegistry& r) : inner(r) {}
    std::int32_t OpenKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.OpenKey(r, k, a, h);
    }
    std::int32_t CreateKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.CreateKey(r, k, a, h);
    }
    std::int32_t QueryValue(HKey k, const std::string& n, std::uint32_t* t, unsigned char* d,
                            std::uint32_t* s) override {
        return inner.QueryValue(k, n, t, d, s);
    }
    std::int32_t SetValue(HKey k, const std::string& n, std::uint32_t t, const unsigned char* d,
                          std::uint32_t s) override {
        if (failing)
            throw IoFailure("Could not save user.reg: No space left on device", 28);
        return inner.SetValue(k, n, t, d, s);
    }
    std::int32_t CloseKey(HKey k) override { return inner.CloseKey(k); }
};

// The desktop call of the platform: writes the profile, then shows the picture.
struct ProfileDesktop final : Desktop {
    Registry& reg;
    std::vector<std::string> shown;
    explicit ProfileDesktop(Registry& r) : reg(r) {}
    DesktopResult SetDeskWallpaper(const std::string& text) override {
        std::exception_ptr failure;
        try {
            WriteSetting(reg, kDesktopKey, "Wallpaper", text, reg::kSz);
        } catch (const std::exception&) {
            failure = std::current_exception();
        }
        shown.push_back(text);
        if (failure)
            std::rethrow_exception(failure);
        return DesktopResult::Done;
    }
};

} // namespace

TEST(OneFailureOneMessage, AFailingSettingsFileIsToldOnceUntilAWriteOfItSucceeds) {
    TempStore store;
    MemoryRegistry memory;
    FailingWrites reg(memory);
    FakeDialogs dialogs;
    ProfileDesktop desktop(reg);
    FakeClock clock;
    frmWallPaper form(reg, dialogs);
    form.UseDesktop(desktop);
    form.UseClock(clock);
    memory.Put(kDesktopKey, "TileWallpaper", reg::kSz, "0\0"s);
    form.lstRotateBmps.AddItem("/a.bmp");
    form.lstRotateBmps.AddItem("/b.bmp");

    form.Timer1_Timer(); // zero frequency: every tick changes the wallpaper
    form.Timer1_Timer();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "The wallpaper style was not saved.\n\n"
                                        "Could not save user.reg: No space left on device");
    EXPECT_EQ(desktop.shown, (Strings{"/a.bmp", "/a.bmp", "/b.bmp", "/b.bmp"}));

    reg.failing = false;
    form.Timer1_Timer();
    reg.failing = true;
    form.Timer1_Timer();
    EXPECT_EQ(dialogs.messages.size(), 2u); // failing again after a success is told again
    EXPECT_TRUE(form.saveFailed());
}
