#include <gtest/gtest.h>

#include "mainwindow/FormDriver.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

struct Driver : ::testing::Test {
    TempFolder store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeDesktop desktop{reg};
    frmWallPaper form{reg, dialogs, {store.root(), store.root()}};
    FormDriver driver{form};
    int syncs = 0, quits = 0, cancels = 0;

    void SetUp() override {
        form.UseDesktop(desktop);
        form.lstRotateBmps.AddItem("/a.bmp"); // zero frequency: every tick applies it
        driver.Sync = [this] { ++syncs; };
        driver.Quit = [this] { ++quits; };
        driver.CancelModal = [this] { ++cancels; };
    }
};

} // namespace

TEST_F(Driver, TicksFailuresAndTheSessionEndInsideAHandler) {
    std::string told;
    driver.Complain = [&](const std::string& what) { told = what; };
    driver.Run([this] {
        driver.Run([] {});
        driver.Tick(); // a question is on the screen
        EXPECT_EQ(syncs + desktop.calls.size(), 0u);
        throw std::runtime_error("out of memory");
    });
    EXPECT_EQ(syncs, 2); // drawn again after the handler and after the tick it held
    EXPECT_EQ(desktop.calls.size(), 2u);
    EXPECT_EQ(told, "out of memory");
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
