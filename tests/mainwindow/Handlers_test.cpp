#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;

namespace {

// Also the settings store of `unreadable`: reads fail with `readFailure`, the rest goes to `reg`.
struct Handlers : ::testing::Test, Registry {
    test::MemoryRegistry reg;
    test::FakeDialogs dialogs;
    int readFailure = 0;
    frmWallPaper form{reg, dialogs}, unreadable{*this, dialogs};

    std::int32_t OpenKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return reg.OpenKey(r, k, a, h);
    }
    std::int32_t CreateKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return reg.CreateKey(r, k, a, h);
    }
    std::int32_t QueryValue(HKey, const std::string&, std::uint32_t*, unsigned char*,
                            std::uint32_t*) override {
        throw IoFailure("the settings cannot be read", readFailure);
    }
    std::int32_t SetValue(HKey k, const std::string& n, std::uint32_t t, const unsigned char* d,
                          std::uint32_t s) override {
        return reg.SetValue(k, n, t, d, s);
    }
    std::int32_t CloseKey(HKey k) override { return reg.CloseKey(k); }
};

} // namespace

TEST_F(Handlers, PreviewSettingIsYesOnlyInCapitalsAndAFailedReadIsReported) {
    for (const auto& [stored, state] : {std::pair{"YES\0"s, 1}, std::pair{"Yes"s, 0}}) {
        reg.Put(kOptionsKey, "ViewBmp", reg::kSz, stored);
        form.LoadViewBmp();
        EXPECT_EQ(form.chkAutoView.Value(), state) << stored;
    }
    for (int code : {5, 2}) { // only a missing store takes the box's state as the setting
        readFailure = code;
        unreadable.LoadViewBmp();
        EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), code == 2 ? "NO\0"s : "Yes") << code;
    }
    EXPECT_EQ(dialogs.messages.at(0).text, "the settings cannot be read");
}

TEST_F(Handlers, OnlyAChangedChoiceMarksTheCollection) {
    form.optCenter.Click(), form.optAscending.Click(); // the choices the window starts with
    EXPECT_FALSE(form.CollectionDirty);
    form.optNone.Click(); // None also has no file to apply
    EXPECT_TRUE(form.CollectionDirty && !form.filWinBmps.enabled);
}
