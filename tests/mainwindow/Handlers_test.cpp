#include <gtest/gtest.h>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;

namespace {

struct Handlers : ::testing::Test {
    test::MemoryRegistry reg;
    test::FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs};
};

} // namespace

TEST_F(Handlers, PreviewSettingIsYesOnlyInCapitals) {
    for (const auto& [stored, state] : {std::pair{"YES\0"s, 1}, std::pair{"Yes"s, 0}}) {
        reg.Put(kOptionsKey, "ViewBmp", reg::kSz, stored);
        form.LoadViewBmp();
        EXPECT_EQ(form.chkAutoView.Value(), state) << stored;
    }
}

// The check box's click loads the preview; a failure there is what LoadViewBmp reports.
TEST_F(Handlers, AFailedPreviewSettingIsReportedAndAMissingFileWritesTheBoxState) {
    for (int code : {5, IoFailure::kNotFound}) {
        test::MemoryRegistry store;
        frmWallPaper shown{store, dialogs};
        store.Put(kOptionsKey, "ViewBmp", reg::kSz, "YES"); // reads as YES, without its NUL
        shown.LastClickedList = kRotationListClicked;
        shown.lstRotateBmps.AddItem("/pics/a.bmp");
        shown.lstRotateBmps.SetSelected(0, true);
        shown.LoadPicture = [code](const std::string&) -> bool {
            throw IoFailure("the picture cannot be read", code);
        };
        shown.LoadViewBmp();
        EXPECT_EQ(dialogs.messages.back().text, "the picture cannot be read");
        // Only a missing file takes the box's state, checked by now, as the setting.
        EXPECT_EQ(store.Raw(kOptionsKey, "ViewBmp"),
                  code == IoFailure::kNotFound ? "YES\0"s : "YES")
            << code;
    }
}

TEST_F(Handlers, OnlyAChangedChoiceMarksTheCollection) {
    form.optCenter.Click();
    form.optAscending.Click(); // the choices the window starts with
    EXPECT_FALSE(form.CollectionDirty);
    form.optNone.Click(); // None also has no file to apply
    EXPECT_TRUE(form.CollectionDirty && !form.filWinBmps.enabled);
}
