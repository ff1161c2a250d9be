#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

using Strings = std::vector<std::string>;

struct Loading : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs};

    void Config(const Strings& lines) { WriteWholeFile(store.file("velum.cfg"), CrlfJoin(lines)); }
    void Load(const std::string& key, const std::string& value) {
        Config({"\"" + key + R"(","N",")" + value + "\""});
        form.LoadBmpCollection("N");
    }
};

} // namespace

TEST_F(Loading, TheWorkedExampleIsWrittenByTheFormAndReadBack) {
    // A leftover temporary file must not reach the store.
    WriteWholeFile(store.file("~velum.tmp"), CrlfJoin({R"("Bmp","Ghost","g.bmp")"}));
    form.Form_Load();
    for (auto* p : {R"(C:\WINDOWS\Clouds.bmp)", R"(C:\WINDOWS\Setup.bmp)"})
        form.lstRotateBmps.AddItem(p);
    form.txtMinutes.SetText("0");
    form.txtHours.SetText("1");
    form.txtDays.SetText("0");
    form.styleGroup.Select(form.optTile);
    form.mnuSave_Click();

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
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Default,Nature\0"s);

    frmWallPaper again(reg, dialogs);
    again.Form_Load();
    EXPECT_EQ(again.lstRotateBmps.items(), nature);
    EXPECT_EQ(again.txtDays.Text(), "1");
    EXPECT_EQ(again.Caption.rfind("Velum - (Last Changed ", 0), 0u);
    again.mnuExit_Click(); // the history, position and time read come back unchanged
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), CrlfJoin(kWorkedExample));

    again.lstRotateBmps.AddItem("/home/ann/Pictures/Sea, sun/a.bmp");
    again.AddLastBmp("/home/ann/x,y.bmp");
    again.mnuSave_Click();
    again.mnuExit_Click();
    frmWallPaper third(reg, dialogs);
    third.Form_Load();
    EXPECT_EQ(third.lstRotateBmps.items().back(), "/home/ann/Pictures/Sea, sun/a.bmp");
    EXPECT_EQ(third.cmbLastBmps.Text(), "/home/ann/x,y.bmp");
}

TEST_F(Loading, RecordsOfTheExactNameAreReadAndTheTwoLoadersTakeOddValuesTheirOwnWay) {
    Config({R"("Bmp","","h.bmp")", R"("Bmp","default","x.bmp")", R"("Days","Default","1")",
            R"("Days","Default","2")", R"("Bmp","Default","a.bmp")", R"("Bmp","Default","a.bmp")"});
    form.orderGroup.Select(form.optRandom);
    form.NextIndex = 5;
    form.lstRotateBmps.AddItem("stale.bmp");
    form.LoadBmpCollection("Default");
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "a.bmp"}));
    EXPECT_EQ(form.txtDays.Text(), "2");
    EXPECT_EQ(form.cmbLastBmps.items(), Strings{"h.bmp"});
    EXPECT_TRUE(form.optRandom.Value());
    EXPECT_EQ(form.NextIndex, 5);

    // The style chosen by the collection's loader, then by the tile setting's: Tile, Center, None.
    auto style = [&] { return form.optTile.Value() ? 'T' : form.optCenter.Value() ? 'C' : 'N'; };
    const std::pair<const char*, std::string> tiles[] = {
        {"99", "NN"}, {"", "CN"}, {" 1", "TN"}, {"1", "TT"}, {"0", "CC"}};
    for (const auto& [tile, styles] : tiles) {
        Load("TileWallpaper", tile);
        const char byLoader = style();
        form.LoadTileSetting("N");
        EXPECT_EQ(std::string({byLoader, style()}), styles) << tile;
    }
    // Index halves round to even and a value out of range leaves the position as it was.
    const std::tuple<std::string, const char*, int> numbers[] = {
        {"CycleOptions", "2.0", 2}, {"CycleOptions", "3", 0}, {"Index", " 2", 2},
        {"Index", "2.5", 2},        {"Index", "3.5", 4},      {"Index", "-1", -1},
        {"Index", "70000", -1},     {"Index", "abc", 0}};
    for (const auto& [key, text, want] : numbers) {
        Load(key, text);
        EXPECT_EQ(key == "Index" ? form.NextIndex : form.CycleOrder, want) << key << text;
    }
}

TEST_F(Loading, TheCyclerLeavesTheHistoryAloneAndSavesItsPositionAndTime) {
    reg.Put(kOptionsKey, "Collections", REG_SZ, "N\0"s);
    reg.Put(kOptionsKey, "Current", REG_SZ, "N\0"s);
    Config({R"("Bmp","","h.bmp")", R"("Time","N","1/2/99 3:04:05 AM")", R"("Index","N"," 0")",
            R"("Bmp","N","n.bmp")"});
    frmCycler cycler(reg, dialogs);
    FakeDesktop desktop(reg);
    FakeClock clock;
    cycler.UseDesktop(desktop);
    cycler.UseClock(clock);
    cycler.cmbLastBmps.AddItem("kept.bmp");
    cycler.LoadBmpCollection(""); // no collection has an empty name
    EXPECT_EQ(cycler.lstRotateBmps.ListCount(), 0);
    cycler.Form_Load();
    EXPECT_EQ(cycler.cmbLastBmps.items(), Strings{"kept.bmp"});
    EXPECT_EQ(cycler.Caption, "Velum");
    EXPECT_EQ(
        ReadCrlfLines(store.file("velum.cfg")),
        (Strings{R"("Index","N"," 1")",
                 "\"Time\",\"N\",\"" + DateTimeToStoredText(clock.now) + "\"",
                 R"("CurrentIndex","N"," 0")", R"("Bmp","","h.bmp")", R"("Bmp","N","n.bmp")"}));
}

TEST_F(Loading, AnUnreadableFileIsReportedOnceAndNeverRewritten) {
    const std::string cfg = store.file("velum.cfg");
    WriteWholeFile(JoinPath(cfg, "inside"), "x"); // a folder in its place: unreadable for anyone
    reg.Put(kOptionsKey, "Current", REG_SZ, "B\0"s);
    form.Form_Load();
    form.LoadBmpCollection("B");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    form.CollectionDirty = true;
    form.mnuSave_Click();
    EXPECT_TRUE(form.CollectionDirty); // not saved, so still to be saved
    EXPECT_EQ(form.mousePointer, MousePointer::Default);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].text.find("\"B\" was not saved"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(JoinPath(cfg, "inside")), "x");
}
