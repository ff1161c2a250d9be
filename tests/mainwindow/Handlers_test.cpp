#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

struct ThrowingRegistry final : Registry {
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

TEST_F(Handlers, PreviewSettingIsYesOnlyInCapitalsAndAFailedReadIsReported) {
    std::pair<std::string, int> cases[] = {{"YES\0"s, 1}, {"Yes", 0}, {"YES", 1}, {"YES\0\0"s, 0}};
    for (const auto& [stored, state] : cases) { // each case turns the box over
        reg.Put(kOptionsKey, "ViewBmp", REG_SZ, stored);
        form.LoadViewBmp();
        EXPECT_EQ(form.chkAutoView.Value(), state) << stored;
    }

    ThrowingRegistry broken;
    broken.inner.Put(kOptionsKey, "Collections", REG_SZ, "A\0"s);
    frmWallPaper f(broken, dialogs);
    f.chkAutoView.SetValue(1);
    f.LoadViewBmp();
    EXPECT_EQ(dialogs.messages.at(0).text, "the settings cannot be read");
    EXPECT_EQ(broken.inner.Raw(kOptionsKey, "ViewBmp"), "<no value>");
    broken.code = 2; // a missing store: the setting is written from the box as it stands
    f.LoadViewBmp();
    EXPECT_EQ(broken.inner.Raw(kOptionsKey, "ViewBmp"), "YES\0"s);
}

TEST_F(Handlers, ChangedChoicesAndEveryEditMarkTheCollectionAndExitAsksOnlyThen) {
    form.Form_Load();
    form.styleGroup.Select(form.optCenter); // the choices the window starts with
    form.orderGroup.Select(form.optAscending);
    form.mnuExit_Click();
    EXPECT_TRUE(dialogs.questions.empty());
    for (auto* handler : {&form.optTile.Click, &form.optRandom.Click, &form.optDescending.Click,
                          &form.txtDays.Change, &form.txtHours.Change, &form.txtMinutes.Change,
                          &form.optNone.Click}) {
        form.CollectionDirty = false;
        (*handler)();
        EXPECT_TRUE(form.CollectionDirty);
    }
    EXPECT_FALSE(form.filWinBmps.enabled); // None has no file to apply
    form.mnuExit_Click();
    EXPECT_EQ(dialogs.questions.size(), 1u);
}
