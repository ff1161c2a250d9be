// The rotation as the window runs it over several collections and ticks.
#include <gtest/gtest.h>

#include <memory>

#include "common/DateTime.h"
#include "common/Folders.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "store/ConfigRecord.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

using Strings = std::vector<std::string>;

struct Rotation : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    FakeDesktop desktop{reg};
    FakeClock clock;
    FakeRandom random;
    std::unique_ptr<frmWallPaper> window;

    frmWallPaper& Start(const std::string& names, const std::string& current,
                        const Strings& records) {
        reg.Put(kOptionsKey, "Collections", reg::kSz, names + '\0');
        reg.Put(kOptionsKey, "Current", reg::kSz, current + '\0');
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        window = std::make_unique<frmWallPaper>(reg, dialogs);
        window->UseDesktop(desktop);
        window->UseClock(clock);
        window->UseRandom(random);
        window->Form_Load();
        return *window;
    }
    void Choose(frmWallPaper& form, const std::string& name) {
        for (int i = 0; i < form.cmbCollection.ListCount(); ++i)
            if (form.cmbCollection.List(i) == name)
                form.cmbCollection.SetListIndex(i);
    }
    // The value of one record of velum.cfg; "<none>" when it has none.
    std::string Stored(const std::string& key, const std::string& name) {
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == key && r.name == name)
                return std::string(r.value);
        return "<none>";
    }
    Strings StoredHistory() {
        Strings out;
        for (const auto& line : ReadCrlfLines(store.file("velum.cfg")))
            if (ConfigRecord r = ParseConfigRecord(line); r.key == "Bmp" && r.name.empty())
                out.emplace_back(r.value);
        return out;
    }
    Strings Applied() {
        Strings out;
        for (const auto& c : std::exchange(desktop.calls, {}))
            out.push_back(c.text);
        return out;
    }
};

const Strings kTwo = {R"("Bmp","A","/a0.bmp")",
                      R"("Bmp","A","/a1.bmp")",
                      R"("Bmp","A","/a2.bmp")",
                      R"("Index","A"," 1")",
                      R"("Time","A","2026-12-01 08:00:00")",
                      R"("CurrentIndex","A"," 0")",
                      R"("Bmp","B","/b0.bmp")",
                      R"("Bmp","B","/b1.bmp")",
                      R"("Bmp","","/old.bmp")"};

} // namespace

TEST_F(Rotation, ATickWithNothingToCycleChangesNothing) {
    auto& form = Start("", "", {});
    const std::string pics = JoinPath(store.root(), "pics");
    WriteWholeFile(JoinPath(pics, "x.bmp"), "x");
    form.Dir1.SetPath(pics);
    form.filWinBmps.SetSelected(0, true); // the file the person is about to add
    const std::string caption = form.Caption;
    for (int tick = 0; tick < 3; ++tick) // the empty frequency is due at every tick
        form.Timer1_Timer();
    form.cmdUpdate_click();
    EXPECT_TRUE(form.filWinBmps.Selected(0));
    EXPECT_EQ(form.Dir1.Path(), NormalizeFolder(pics));
    EXPECT_EQ(form.NextIndex, 0);
    EXPECT_TRUE(form.LastChanged.empty());
    EXPECT_EQ(form.Caption, caption);
    EXPECT_TRUE(Applied().empty());
    EXPECT_EQ(RawValue(reg, "Control Panel\\desktop", "TileWallpaper"), "<no key>");
    form.mnuExit_Click();
    EXPECT_EQ(Stored("Time", "Default"), ""); // no change time recorded
}

TEST_F(Rotation, EachCollectionKeepsItsOwnPositionAndTheHistoryIsOneList) {
    auto& form = Start("A,B", "A", kTwo);
    clock.now = {2026, 12, 7, 9, 0, 0};
    form.Timer1_Timer(); // A at its stored position 1
    Choose(form, "B");   // A's moved rotation is written as it is left
    EXPECT_EQ(Stored("Index", "A"), " 2");
    EXPECT_EQ(Stored("Time", "A"), DateTimeToStoredText({2026, 12, 7, 9, 0, 0}));
    EXPECT_EQ(form.NextIndex, 0); // B has no stored state: its first bitmap, never changed
    EXPECT_TRUE(form.LastChanged.empty());
    EXPECT_EQ(form.Caption, "Velum");
    EXPECT_EQ(form.cmbLastBmps.items(), (Strings{"/a1.bmp", "/old.bmp"}));

    clock.now = {2026, 12, 7, 9, 1, 0};
    form.Timer1_Timer(); // B from its first bitmap
    Choose(form, "A");
    EXPECT_EQ(form.NextIndex, 2); // A goes on where it was left
    clock.now = {2026, 12, 7, 9, 2, 0};
    form.Timer1_Timer();
    form.mnuExit_Click();

    EXPECT_EQ(Applied(),
              (Strings{"/a1.bmp", "/a1.bmp", "/b0.bmp", "/b0.bmp", "/a2.bmp", "/a2.bmp"}));
    EXPECT_EQ(Stored("Index", "A") + Stored("CurrentIndex", "A"), " 3 2");
    EXPECT_EQ(Stored("Time", "A"), DateTimeToStoredText({2026, 12, 7, 9, 2, 0}));
    EXPECT_EQ(Stored("Index", "B") + Stored("CurrentIndex", "B"), " 1 0");
    EXPECT_EQ(Stored("Time", "B"), DateTimeToStoredText({2026, 12, 7, 9, 1, 0}));
    EXPECT_EQ(StoredHistory(), (Strings{"/a2.bmp", "/b0.bmp", "/a1.bmp", "/old.bmp"}));
}

TEST_F(Rotation, ACollectionLeftUnmovedKeepsItsStoredState) {
    auto& form = Start("A,B", "A", kTwo);
    Choose(form, "B");
    Choose(form, "A");
    EXPECT_EQ(form.NextIndex, 1);
    EXPECT_EQ(form.LastChanged.StoredText(), "2026-12-01 08:00:00");
    EXPECT_EQ(Stored("Index", "B"), "<none>"); // nothing moved, nothing written
}

TEST_F(Rotation, ABlankLineIsNoHistoryEntry) {
    auto& form = Start("A", "A", {"", R"("Bmp","","/h.bmp")", "", R"("Bmp","A","/a.bmp")"});
    EXPECT_EQ(form.cmbLastBmps.items(), Strings{"/h.bmp"});
}
