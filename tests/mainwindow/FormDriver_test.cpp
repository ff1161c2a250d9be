#include <gtest/gtest.h>

#include "mainwindow/FormDriver.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

struct Driver : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeDesktop desktop{reg};
    FakeClock clock;
    frmWallPaper form{reg, dialogs};
    FormDriver driver{form};
    int syncs = 0, quits = 0, cancels = 0;

    void SetUp() override {
        form.UseDesktop(desktop);
        form.UseClock(clock);
        form.lstRotateBmps.AddItem("/a.bmp"); // zero frequency: every tick applies it
        driver.Sync = [this] { ++syncs; };
        driver.Quit = [this] { ++quits; };
        driver.CancelModal = [this] { ++cancels; };
    }
};

} // namespace

TEST_F(Driver, TheControlsAreDrawnAgainOnlyAfterTheOutermostHandler) {
    driver.Run([this] {
        driver.Run([] {});
        EXPECT_EQ(syncs, 0);
    });
    EXPECT_EQ(syncs, 1);
}

TEST_F(Driver, ATickDuringAHandlerWaitsUntilItReturns) {
    driver.Run([this] {
        driver.Tick(); // a question is on the screen
        EXPECT_TRUE(desktop.calls.empty());
    });
    EXPECT_EQ(desktop.calls.size(), 2u); // the apply's pair of calls, after the handler
}

TEST_F(Driver, AnEndDuringAHandlerWaitsEndsTheModalLoopAndRunsTheExitOnce) {
    driver.Run([this] {
        EXPECT_FALSE(driver.End());
        EXPECT_FALSE(driver.Ended());
    });
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(driver.Ended());
    EXPECT_TRUE(driver.End()); // a second close after the exit changes nothing
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(FileExists(store.file("velum.cfg"))); // the exit wrote the rotation state
    driver.Tick();
    EXPECT_TRUE(desktop.calls.empty()); // nothing happens after the exit
}

TEST_F(Driver, TheSessionEndRunsTheExitAtOnceEvenBelowAHandler) {
    driver.Run([this] {
        driver.EndNow();
        EXPECT_TRUE(driver.Ended());
    });
    EXPECT_EQ(quits, 1);
}

TEST_F(Driver, TheSelectorTakesATypedNameOnlyWhenTheFocusMovesToAnotherControl) {
    form.Form_Load();
    form.cmbCollection.SetText("Typed");
    driver.SelectorFocusMoved(false); // the drop-down, a menu or another program
    EXPECT_EQ(form.LoadedCollectionName, "Default");
    driver.SelectorFocusMoved(true);
    EXPECT_EQ(form.LoadedCollectionName, "Typed");
}

TEST_F(Driver, AFailureEscapingAHandlerIsToldAndTheWindowGoesOn) {
    std::string told;
    driver.Complain = [&](const std::string& what) { told = what; };
    driver.Run([] { throw std::runtime_error("out of memory"); });
    EXPECT_EQ(told, "out of memory");
    EXPECT_EQ(syncs, 1);
}
