#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;

namespace {

struct Handlers : ::testing::Test {
    test::TempFolder store;
    test::MemoryRegistry reg;
    test::FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs, {store.root(), store.root()}};
};

} // namespace

TEST_F(Handlers, OnlyAChangedChoiceMarksTheCollectionAndThePreviewSettingIsRead) {
    form.optCenter.Click();
    form.optAscending.Click(); // the choices the window starts with
    EXPECT_FALSE(form.CollectionDirty);
    form.optNone.Click(); // None also has no file to apply
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_FALSE(form.filWinBmps.enabled);
    for (const auto& [stored, state] : {std::pair{"YES\0"s, 1}, std::pair{"Yes"s, 0}}) {
        reg.Put(kOptionsKey, "ViewBmp", reg::kSz, stored);
        form.LoadViewBmp();
        EXPECT_EQ(form.chkAutoView.Value(), state) << stored;
    }
    // The box's click loads the preview; only a missing file takes the box's state as the setting.
    form.LastClickedList = kRotationListClicked;
    form.lstRotateBmps.AddItem("/a.bmp");
    form.lstRotateBmps.SetSelected(0, true);
    for (int code : {5, IoFailure::kNotFound}) {
        form.chkAutoView.SetValue(0);
        reg.Put(kOptionsKey, "ViewBmp", reg::kSz, "YES"); // reads as YES, without its NUL
        form.LoadPicture = [code](auto&) -> bool {
            throw IoFailure("the picture cannot be read", code);
        };
        form.LoadViewBmp();
        EXPECT_EQ(dialogs.messages.back().text, "the picture cannot be read");
        EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), code == 5 ? "YES" : "YES\0"s) << code;
    }
}
