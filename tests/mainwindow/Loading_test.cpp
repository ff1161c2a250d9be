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
struct Handlers : Loading {};

} // namespace

TEST_F(Loading, TheWorkedExampleIsWrittenByTheFormAndReadBack) {
    Config({kWorkedExample.begin() + 14, kWorkedExample.end()}); // Default, saved before
    form.Form_Load();
    const Strings nature = {R"(C:\Pictures\Forest.bmp)", R"(C:\Pictures\Lake.bmp)",
                            R"(C:\Pictures\Meadow.bmp)"};
    form.cmbCollection.SetText("Nature");
    form.cmbCollection_LostFocus();
    for (const auto& p : nature)
        form.lstRotateBmps.AddItem(p);
    form.txtHours.SetText("0");
    form.txtDays.SetText("1");
    form.styleGroup.Select(form.optCenter);
    form.mnuSave_Click();
    form.cmbLastBmps.AddItem(nature[1]);
    form.cmbLastBmps.AddItem(nature[0]);
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
    Config({R"("Bmp","","h")", R"("Bmp","N","a")", R"("CycleOptions","N","2.0")"});
    form.lstRotateBmps.AddItem("stale");
    form.LoadBmpCollection("N");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"a"});
    EXPECT_EQ(form.cmbLastBmps.items(), Strings{"h"});
    EXPECT_TRUE(form.optDescending.Value());

    // The style chosen by the collection's loader, then by the tile setting's: Tile, Center, None.
    auto style = [&] { return form.optTile.Value() ? 'T' : form.optCenter.Value() ? 'C' : 'N'; };
    const std::pair<const char*, std::string> tiles[] = {
        {"99", "NN"}, {"", "CN"}, {" 1", "TN"}, {"1", "TT"}, {"0", "CC"}};
    for (const auto& [tile, styles] : tiles) {
        Config({R"("TileWallpaper","N",")" + std::string(tile) + "\""});
        form.LoadBmpCollection("N");
        const char byLoader = style();
        form.LoadTileSetting("N");
        EXPECT_EQ(std::string({byLoader, style()}), styles) << tile;
    }
}

// A folder in the place of velum.cfg: no read or write of it can succeed. Each failure is told
// once, but a save the person asks for is told every time.
TEST_F(Loading, AnUnusableFileIsToldOnceButASaveThePersonAsksForEveryTime) {
    reg.Put(kOptionsKey, "Current", reg::kSz, "Sky"s + '\0');
    WriteWholeFile(JoinPath(store.file("velum.cfg"), "inside"), "x");
    form.Form_Load();
    form.LoadBmpCollection("Sky");
    form.SaveBmpCombo(); // the rotation's own write
    form.SaveBmpCombo();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    form.CollectionDirty = true;
    form.mnuSave_Click();
    EXPECT_TRUE(form.CollectionDirty); // still to be saved
    EXPECT_EQ(form.mousePointer, MousePointer::Default);
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[2].text.rfind("The collection \"Sky\" was not saved.", 0), 0u);
    dialogs.answers = {true}; // Yes to saving at Exit
    form.mnuExit_Click();
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[3].text.rfind("The collection \"Sky\" was not saved.", 0), 0u);
    EXPECT_TRUE(form.saveFailed());
}

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
