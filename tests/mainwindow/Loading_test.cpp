// velum.cfg and the settings read into the form, and written back byte for byte.
#include "mainwindow/FormTest.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

struct Loading : FormTest {
    frmWallPaper& form = Make();
    void Config(const Strings& lines) { WriteWholeFile(store.file("velum.cfg"), CrlfJoin(lines)); }
};

} // namespace

TEST_F(Loading, TheWorkedExampleIsWrittenByTheFormAndReadBack) {
    Config({kWorkedExample.begin() + 14, kWorkedExample.end()}); // Default, saved before
    form.Form_Load();
    form.cmbCollection.SetText("Nature");
    form.cmbCollection_LostFocus();
    for (const char* name : {"Forest", "Lake", "Meadow"})
        form.lstRotateBmps.AddItem(R"(C:\Pictures\)"s + name + ".bmp");
    form.txtHours.SetText("0");
    form.txtDays.SetText("1");
    form.styleGroup.Select(form.optCenter);
    form.mnuSave_Click();
    for (int i : {1, 0})
        form.cmbLastBmps.AddItem(form.lstRotateBmps.List(i));
    form.NextIndex = 2;
    form.CurrentIndex = 1;
    form.LastChanged = DateValue::FromText("6/12/98 4:37:38 PM");
    form.mnuExit_Click();
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), CrlfJoin(kWorkedExample));
    Make().Form_Load();
    window->mnuExit_Click(); // the history, position and time read come back unchanged
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), CrlfJoin(kWorkedExample));
}

TEST_F(Loading, TheCollectionReplacesTheListAndTheTwoLoadersTakeOddValuesTheirOwnWay) {
    Config({R"("Bmp","N","a")", R"("CycleOptions","N","2.0")"});
    form.lstRotateBmps.AddItem("stale");
    form.LoadBmpCollection("N");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"a"});
    EXPECT_TRUE(form.optDescending.Value());
    // The style chosen by the collection's loader (a number), then by the tile setting's (exact):
    // Tile, Center, None, Fill, fIt, Stretch; a code of no button is None's.
    auto style = [&] {
        const char* letters = "TCNFIS";
        for (OptionButton* b : {&form.optTile, &form.optCenter, &form.optNone, &form.optFill,
                                &form.optFit, &form.optStretch})
            if (b->Value())
                return *letters;
            else
                ++letters;
        return '-';
    };
    for (const auto& [tile, styles] : {std::pair{" 1"s, "TN"s},
                                       {"1"s, "TT"s},
                                       {"0"s, "CC"s},
                                       {"10"s, "FF"s},
                                       {"6.0"s, "IN"s},
                                       {"2"s, "SS"s},
                                       {"6"s, "II"s},
                                       {"3"s, "NN"s}}) {
        Config({R"("TileWallpaper","N",")" + tile + "\""});
        form.LoadBmpCollection("N");
        const char byLoader = style();
        form.LoadTileSetting("N");
        EXPECT_EQ(std::string({byLoader, style()}), styles) << tile;
    }
}

// A folder in the place of velum.cfg: no read or write of it can succeed.
TEST_F(Loading, AnUnusableFileIsToldOnceButASaveThePersonAsksForEveryTime) {
    reg.Put(kOptionsKey, "Current", reg::kSz, "Sky"s + '\0');
    WriteWholeFile(JoinPath(store.file("velum.cfg"), "inside"), "x");
    form.Form_Load();
    form.SaveBmpCombo(); // the rotation's own write
    form.SaveBmpCombo();
    form.CollectionDirty = true;
    form.mnuSave_Click();
    EXPECT_EQ(form.mousePointer, MousePointer::Default);
    dialogs.answers = {true}; // still to be saved: Yes to saving at Exit
    form.mnuExit_Click();
    ASSERT_EQ(dialogs.messages.size(), 4u); // the read, the rotation's write, both saves
    for (int save : {2, 3})
        EXPECT_EQ(dialogs.messages[save].text.rfind("The collection \"Sky\" was not saved.", 0),
                  0u);
    EXPECT_TRUE(form.saveFailed());
}

TEST_F(Loading, OnlyAChangedChoiceMarksTheCollectionAndThePreviewSettingIsRead) {
    form.optCenter.Click();
    form.optAscending.Click(); // the choices the window starts with
    EXPECT_FALSE(form.CollectionDirty);
    form.optNone.Click(); // None also has no file to apply
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_FALSE(form.filWinBmps.enabled);
    // The box's click loads the preview; only a missing file takes the box's state as the setting.
    form.LastClickedList = kRotationListClicked;
    form.lstRotateBmps.AddItem("/a.bmp");
    form.lstRotateBmps.SetSelected(0, true);
    reg.Put(kOptionsKey, "ViewBmp", reg::kSz, "YES"); // reads as YES, without its NUL
    for (int code : {5, IoFailure::kNotFound}) {
        form.chkAutoView.SetValue(0);
        form.LoadPicture = [code](auto&) -> bool { throw IoFailure("unreadable", code); };
        form.LoadViewBmp();
        EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), code == 5 ? "YES" : "YES\0"s) << code;
    }
    EXPECT_EQ(dialogs.messages.size(), 2u); // each failure told
}
