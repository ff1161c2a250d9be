#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

// A registry whose reads fail the way a broken platform does: by throwing.
class ThrowingRegistry final : public Registry {
  public:
    int code = 0;
    MemoryRegistry inner;
    std::int32_t OpenKey(HKey root, const std::string& sub, std::uint32_t a, HKey* r) override {
        return inner.OpenKey(root, sub, a, r);
    }
    std::int32_t CreateKey(HKey root, const std::string& sub, std::uint32_t a, HKey* r) override {
        return inner.CreateKey(root, sub, a, r);
    }
    std::int32_t QueryValue(HKey, const std::string&, std::uint32_t*, unsigned char*,
                            std::uint32_t*) override {
        throw IoFailure("the settings cannot be read", code);
    }
    std::int32_t SetValue(HKey k, const std::string& n, std::uint32_t t, const unsigned char* d,
                          std::uint32_t s) override {
        return inner.SetValue(k, n, t, d, s);
    }
    std::int32_t CloseKey(HKey k) override { return inner.CloseKey(k); }
};

struct Handlers : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs};
};

} // namespace

TEST_F(Handlers, PreviewSettingIsYesOnlyInCapitals) {
    for (auto [stored, state] :
         std::vector<std::pair<std::string, int>>{{std::string("YES\0", 4), 1},
                                                  {"YES", 1},
                                                  {"yes", 0},
                                                  {"Yes", 0},
                                                  {"NO", 0},
                                                  {std::string("YES\0\0", 5), 0}}) {
        reg.Put(kOptionsKey, "ViewBmp", REG_SZ, stored);
        form.chkAutoView.SetValue(1 - state);
        form.LoadViewBmp();
        EXPECT_EQ(form.chkAutoView.Value(), state) << stored;
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Handlers, APreviewSettingThatCannotBeReadIsReportedAndTheLoadGoesOn) {
    ThrowingRegistry broken;
    broken.inner.Put(kOptionsKey, "Collections", REG_SZ, std::string("A\0", 2));
    frmWallPaper f(broken, dialogs);
    f.chkAutoView.SetValue(1);
    f.LoadViewBmp();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "the settings cannot be read");
    EXPECT_EQ(dialogs.messages[0].caption, "Velum");
    EXPECT_EQ(f.chkAutoView.Value(), 1);
    EXPECT_EQ(broken.inner.Raw(kOptionsKey, "ViewBmp"), "<no value>");

    broken.code = 2; // a missing store: the setting is written from the box as it stands
    f.LoadViewBmp();
    EXPECT_EQ(broken.inner.Raw(kOptionsKey, "ViewBmp"), std::string("YES\0", 4));
}

TEST_F(Handlers, OptionClicksMarkTheCollectionOnlyWhenTheChoiceChanges) {
    form.styleGroup.Select(form.optCenter); // already the starting style
    EXPECT_FALSE(form.CollectionDirty);
    form.styleGroup.Select(form.optNone);
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_EQ(form.WallpaperStyle, 99);
    EXPECT_FALSE(form.filWinBmps.enabled);
    form.CollectionDirty = false;
    form.styleGroup.Select(form.optNone);
    EXPECT_FALSE(form.CollectionDirty);
    form.styleGroup.Select(form.optTile);
    EXPECT_TRUE(form.filWinBmps.enabled);
    EXPECT_TRUE(form.optTile.Value() && !form.optNone.Value() && !form.optCenter.Value());

    form.CollectionDirty = false;
    form.orderGroup.Select(form.optAscending);
    EXPECT_FALSE(form.CollectionDirty);
    form.orderGroup.Select(form.optRandom);
    EXPECT_EQ(form.CycleOrder, 1);
    EXPECT_TRUE(form.CollectionDirty);
    form.CollectionDirty = false;
    form.orderGroup.Select(form.optDescending);
    EXPECT_EQ(form.CycleOrder, 2);
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_TRUE(form.optAscending.Value() == false && form.optRandom.Value() == false);
}

TEST_F(Handlers, EveryFrequencyEditMarksTheCollection) {
    for (TextBox* box : {&form.txtDays, &form.txtHours, &form.txtMinutes}) {
        form.CollectionDirty = false;
        box->SetText("x");
        EXPECT_TRUE(form.CollectionDirty);
    }
}

TEST_F(Handlers, ExitAsksOnlyAfterAnEdit) {
    form.Form_Load();
    form.mnuExit_Click();
    EXPECT_TRUE(dialogs.questions.empty());
    form.txtHours.SetText("2");
    form.mnuExit_Click();
    EXPECT_EQ(dialogs.questions.size(), 1u);
}
