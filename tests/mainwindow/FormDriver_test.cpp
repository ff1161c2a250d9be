#include <filesystem>
#include <set>

#include "common/Folders.h"
#include "mainwindow/FormDriver.h"
#include "mainwindow/FormTest.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

namespace {

struct Driver : FormTest {
    frmWallPaper& form = Make();
    FormDriver driver{form};
    // The view's calls: s(ync) T/t(imer on/off) c(ancel modal) q(uit) x (close) a(bout) [told]
    std::string log;
    void SetUp() override {
        form.lstRotateBmps.AddItem("/a.bmp"); // zero frequency: every tick applies it
        std::function<void()>* calls[] = {&driver.Sync, &driver.Quit, &driver.CancelModal,
                                          &driver.Close, &driver.About};
        for (int i = 0; i < 5; ++i)
            *calls[i] = [this, c = "sqcxa"[i]] { log += c; };
        driver.SwitchTimer = [this](bool on) { log += on ? 'T' : 't'; };
        driver.Complain = [this](const std::string& what) { log += "[" + what + "]"; };
    }
};

} // namespace

TEST_F(Driver, TicksFailuresAndTheSessionEndInsideAHandler) {
    driver.Run([this] {
        driver.Run([] {});
        driver.Tick(); // a question is on the screen
        EXPECT_EQ(log + std::to_string(desktop.calls.size()), "0");
        throw std::runtime_error("out of memory");
    });
    EXPECT_EQ(desktop.calls.size(), 2u);
    driver.Run([] { throw std::runtime_error("out of memory"); });
    // Told once; drawn again after each handler and after the tick it held.
    EXPECT_EQ(log, "[out of memory]sTss");
    driver.Run([this] { // the session ends: the exit runs at once even below a handler
        driver.EndNow();
        EXPECT_EQ(log.back(), 'q');
    });
}

TEST_F(Driver, AnEndDuringAHandlerWaitsEndsTheModalLoopAndRunsTheExitOnce) {
    driver.Run([this] { EXPECT_FALSE(driver.End()); });
    EXPECT_TRUE(driver.End()); // a second close after the exit changes nothing
    driver.Tick();
    EXPECT_EQ(log, "csTstq");           // the exit, once the handler returned, stops the timer
    EXPECT_TRUE(desktop.calls.empty()); // nothing happens after the exit
}

TEST_F(Driver, EveryRowIsWholeAndEveryNameItUsesExists) {
    std::set<std::string> names;
    for (const auto& c : WindowControls()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name << " twice";
        for (const auto& e : c.events)
            EXPECT_NE(e.call, nullptr) << c.name;
        for (const std::string& other : {c.labelFor, c.frame, c.dropTarget})
            EXPECT_TRUE(other.empty() || FindControl(other)) << c.name << " names " << other;
    }
}

TEST_F(Driver, EventsReachTheFormThroughTheTable) {
    driver.Run([this] { form.Form_Load(); });
    driver.Raise("optTile", ControlEvent::Click);
    EXPECT_TRUE(form.optTile.Value());
    EXPECT_FALSE(driver.Raise("cmdAdd", ControlEvent::DeleteKey)); // the key keeps its meaning
    // Del in the rotation list removes its selection; elsewhere it is File, Delete.
    for (const char* path : {"/a.bmp", "/b.bmp"}) // the load emptied the list
        form.lstRotateBmps.AddItem(path);
    driver.Select("lstRotateBmps", {false, true}, 1);
    driver.Select("lstRotateBmps", {true}, 0); // a list the form no longer holds: ignored
    driver.Shortcut("Del", "lstRotateBmps");
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"/a.bmp"});
    const int names = form.cmbCollection.ListCount();
    driver.Shortcut("Del", "filWinBmps");
    EXPECT_EQ(form.cmbCollection.ListCount(), names - 1);
    driver.Menu("mnuAbout");
    driver.Menu("mnuExit");
    EXPECT_TRUE(driver.End());     // the view's close runs the exit
    EXPECT_EQ(log, "sTssssaxstq"); // the timer switched once, not after every handler
}

// Picking a folder row or a history entry whose folder is gone leaves the browser where it was.
TEST_F(Driver, FolderRowsLeadFromTheRootToTheFolderAndAGoneFolderIsNotOpened) {
    const fs::path b = fs::path(store.root()) / "a" / "b";
    for (const char* sub : {"c", "locked"})
        fs::create_directories(b / sub);
    form.Dir1.SetPath(b.string());
    const std::vector<FolderRow> rows = form.Dir1.Rows();
    ASSERT_GE(rows.size(), 4u);
    const std::string pad(2 * (rows.size() - 3), ' ');
    EXPECT_EQ(std::vector(rows.end() - 3, rows.end()),
              (std::vector<FolderRow>{{pad + "b", b.string(), true, true},
                                      {pad + "  c", (b / "c").string(), false, false},
                                      {pad + "  locked", (b / "locked").string(), false, false}}));
    EXPECT_EQ(rows.front(), (FolderRow{rows.front().path, rows.front().path, true, false}));
    EXPECT_EQ(rows.front().path.back(), PathSeparator()); // the root
    fs::remove(b / "locked");                             // gone since the list was drawn
    driver.Pick("Dir1", static_cast<int>(rows.size()) - 1);
    form.cmbLastBmps.AddItem("/gone/x.bmp");
    driver.Pick("cmbLastBmps", 0);
    EXPECT_EQ(form.cmbLastBmps.Text(), "/gone/x.bmp");
    EXPECT_EQ(form.Dir1.Path(), b.string());
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
    list.SelectWhere([](int i) { return i >= 1; });
    EXPECT_EQ(list.RemoveSelected(), 2);
    EXPECT_EQ(list.ListIndex(), -1); // the current entry went
}
