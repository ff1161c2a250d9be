#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "mainwindow/FormDriver.h"
#include "mainwindow/FormTest.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

namespace {

struct Driver : FormTest {
    frmWallPaper& form = Make();
    FormDriver driver{form};
    int syncs = 0, quits = 0, cancels = 0, closes = 0, abouts = 0;
    std::vector<bool> timer;

    void SetUp() override {
        form.lstRotateBmps.AddItem("/a.bmp"); // zero frequency: every tick applies it
        driver.Sync = [this] { ++syncs; };
        driver.Quit = [this] { ++quits; };
        driver.CancelModal = [this] { ++cancels; };
        driver.SwitchTimer = [this](bool on) { timer.push_back(on); };
        driver.Close = [this] { ++closes; };
        driver.About = [this] { ++abouts; };
    }
};

} // namespace

TEST_F(Driver, TicksFailuresAndTheSessionEndInsideAHandler) {
    std::vector<std::string> told;
    driver.Complain = [&](const std::string& what) { told.push_back(what); };
    driver.Run([this] {
        driver.Run([] {});
        driver.Tick(); // a question is on the screen
        EXPECT_EQ(syncs + desktop.calls.size(), 0u);
        throw std::runtime_error("out of memory");
    });
    EXPECT_EQ(syncs, 2); // drawn again after the handler and after the tick it held
    EXPECT_EQ(desktop.calls.size(), 2u);
    driver.Run([] { throw std::runtime_error("out of memory"); });
    EXPECT_EQ(told, std::vector<std::string>{"out of memory"}); // told once
    driver.Run([this] { // the session ends: the exit runs at once even below a handler
        driver.EndNow();
        EXPECT_EQ(quits, 1);
    });
}

TEST_F(Driver, AnEndDuringAHandlerWaitsEndsTheModalLoopAndRunsTheExitOnce) {
    driver.Run([this] {
        EXPECT_FALSE(driver.End());
        EXPECT_FALSE(driver.Ended());
    });
    EXPECT_TRUE(driver.End()); // a second close after the exit changes nothing
    EXPECT_EQ(std::pair(cancels, quits), std::pair(1, 1));
    driver.Tick();
    EXPECT_TRUE(desktop.calls.empty()); // nothing happens after the exit
}

TEST_F(Driver, TheSelectorTakesATypedNameOnlyWhenTheFocusMovesToAnotherControl) {
    form.Form_Load();
    form.cmbCollection.SetText("Typed");
    driver.FocusLeft("cmbCollection", false); // the drop-down, a menu or another program
    EXPECT_EQ(form.LoadedCollectionName, "Default");
    driver.FocusLeft("cmbCollection", true);
    EXPECT_EQ(form.LoadedCollectionName, "Typed");
}

TEST_F(Driver, EveryRowIsWholeAndEveryNameItUsesExists) {
    std::set<std::string> names;
    for (const auto& c : WindowControls()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name << " twice";
        // The one state pointer of its kind, none for a kind without state.
        const ControlState s = c.state ? c.state(form) : ControlState{};
        const std::map<ControlKind, const void*> own = {
            {ControlKind::Combo, s.combo},        {ControlKind::List, s.list},
            {ControlKind::TextBox, s.text},       {ControlKind::Option, s.option},
            {ControlKind::CheckBox, s.check},     {ControlKind::DriveList, s.drives},
            {ControlKind::FolderList, s.folders}, {ControlKind::Picture, s.picture}};
        for (const auto& [kind, state] : own)
            EXPECT_EQ(state != nullptr, kind == c.kind) << c.name;
        for (const auto& e : c.events)
            EXPECT_NE(e.call, nullptr) << c.name;
        if (!c.labelFor.empty()) {
            EXPECT_NE(FindControl(c.labelFor), nullptr) << c.name;
        }
        if (!c.frame.empty()) { // WindowControl throws for a name it does not know
            EXPECT_EQ(WindowControl(c.frame).kind, ControlKind::Frame) << c.name;
        }
        if (!c.dropTarget.empty()) {
            EXPECT_NE(WindowControl(c.dropTarget).CallOn(ControlEvent::Drop), nullptr) << c.name;
        }
    }
    // Focusable controls first, in tab order; frames, labels and the picture after them.
    const auto& rows = WindowControls();
    const auto firstOther = std::find_if(rows.begin(), rows.end(),
                                         [](const ControlLayout& c) { return !c.TakesFocus(); });
    EXPECT_TRUE(std::none_of(firstOther, rows.end(),
                             [](const ControlLayout& c) { return c.TakesFocus(); }));
    for (const auto& menu : WindowMenus())
        for (const auto& entry : menu.entries)
            if (!entry.name.empty()) {
                EXPECT_TRUE(entry.call || entry.command != MenuCommand::Form) << entry.name;
            }
}

TEST_F(Driver, EventsReachTheFormThroughTheTable) {
    driver.Run([this] { form.Form_Load(); });
    EXPECT_EQ(timer, std::vector<bool>{true}); // switched once, not after every handler
    driver.Raise("optTile", ControlEvent::Click);
    EXPECT_TRUE(form.optTile.Value());
    driver.Edit("txtHours", "3");
    EXPECT_EQ(form.txtHours.Text(), "3");
    driver.Check("chkAutoView", true);
    EXPECT_EQ(form.chkAutoView.Value(), 1);
    EXPECT_FALSE(driver.Raise("Label6", ControlEvent::Click)); // a label does nothing
    EXPECT_FALSE(driver.Raise("cmdAdd", ControlEvent::DeleteKey));

    // Del in the rotation list removes its selection; elsewhere it is File, Delete.
    form.lstRotateBmps.AddItem("/a.bmp"); // the load emptied the list
    form.lstRotateBmps.AddItem("/b.bmp");
    driver.Select("lstRotateBmps", {false, true}, 1);
    driver.Select("lstRotateBmps", {true}, 0); // a list the form no longer holds: ignored
    EXPECT_TRUE(form.lstRotateBmps.Selected(1));
    driver.Shortcut("Del", "lstRotateBmps");
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"/a.bmp"});
    const int names = form.cmbCollection.ListCount();
    driver.Shortcut("Del", "filWinBmps");
    EXPECT_EQ(form.cmbCollection.ListCount(), names - 1);

    driver.Menu("mnuAbout");
    driver.Menu("mnuExit");
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(closes, 1); // the view closes; its close runs the exit
    EXPECT_TRUE(driver.End());
    EXPECT_EQ(timer, (std::vector<bool>{true, false}));
}

TEST_F(Driver, PickingAHistoryEntryMovesTheBrowserToItsFolder) {
    const fs::path pics = fs::path(store.root()) / "pics", sub = pics / "sub";
    WriteBmp24((sub / "d.bmp").string(), 2, 2, {0, 0, 0, 0});
    form.Dir1.SetPath(pics.string());
    form.cmbLastBmps.AddItem("/gone/x.bmp");
    form.cmbLastBmps.AddItem((sub / "d.bmp").string());
    driver.Pick("cmbLastBmps", 1);
    EXPECT_EQ(form.Dir1.Path(), sub.string());
    EXPECT_EQ(form.cmbLastBmps.Text(), (sub / "d.bmp").string());
    driver.Pick("cmbLastBmps", 0); // a folder that is gone leaves the browser where it was
    EXPECT_EQ(form.Dir1.Path(), sub.string());
    driver.Pick("cmbLastBmps", 7); // outside the list: nothing
    EXPECT_EQ(form.cmbLastBmps.Text(), "/gone/x.bmp");
}

TEST_F(Driver, FolderRowsLeadFromTheRootToTheFolderAndOpenOneSkippingOneThatIsGone) {
    const fs::path base = fs::path(store.root()) / "a";
    for (const char* sub : {"c", "locked"})
        fs::create_directories(base / "b" / sub);
    form.Dir1.SetPath((base / "b").string());
    const std::vector<FolderRow> rows = form.Dir1.Rows();
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows.front().path.back(), PathSeparator()); // the root
    const FolderRow& shown = rows[rows.size() - 3];
    EXPECT_EQ(shown.path, (base / "b").string());
    EXPECT_EQ(shown.text, std::string(2 * (rows.size() - 3), ' ') + "b");
    EXPECT_TRUE(shown.shown);
    EXPECT_TRUE(shown.open);
    EXPECT_TRUE(rows.front().open);
    EXPECT_FALSE(rows.front().shown);
    EXPECT_EQ(rows.back().text, std::string(2 * (rows.size() - 2), ' ') + "locked");
    EXPECT_FALSE(rows.back().open);

    fs::remove(base / "b" / "locked"); // gone since the list was drawn
    driver.Pick("Dir1", static_cast<int>(rows.size()) - 1);
    EXPECT_EQ(form.Dir1.Path(), (base / "b").string());
    driver.Pick("Dir1", static_cast<int>(rows.size()) - 2);
    EXPECT_EQ(form.Dir1.Path(), (base / "b" / "c").string());
    driver.Pick("Dir1", 0);
    EXPECT_EQ(form.Dir1.Path(), rows.front().path);
}

TEST(Lists, RemovingTheSelectionKeepsTheCurrentEntryAndApplyTakesTheCurrentOrFirstSelected) {
    ListBox list;
    for (const char* name : {"a", "b", "c", "d", "e"})
        list.AddItem(name);
    list.SetSelection([](int i) { return i == 1 || i == 3; }, 4);
    EXPECT_EQ(list.ChosenEntry(), 1); // the current entry is not selected: the first selected
    EXPECT_EQ(list.RemoveSelected(), 2);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"a", "c", "e"}));
    EXPECT_EQ(list.ListIndex(), 2); // "e" is still the current entry
    EXPECT_EQ(list.ChosenEntry(), -1);
    list.SelectWhere([](int i) { return i >= 1; });
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_EQ(list.ChosenEntry(), 1);
    EXPECT_EQ(list.RemoveSelected(), 2);
    EXPECT_EQ(list.ListIndex(), -1); // the current entry went
}
