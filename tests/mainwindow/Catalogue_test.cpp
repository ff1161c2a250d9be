#include <gtest/gtest.h>

#include <memory>

#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

using Strings = std::vector<std::string>;

struct Catalogue : ::testing::Test {
    TempFolder store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    std::unique_ptr<frmWallPaper> window;

    // A loaded window over the stored names, the current name and velum.cfg's records.
    frmWallPaper& Start(const std::string& names, const std::string& current,
                        const Strings& records = {}) {
        reg.Put(kOptionsKey, "Collections", reg::kSz, names + '\0');
        reg.Put(kOptionsKey, "Current", reg::kSz, current + '\0');
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        window =
            std::make_unique<frmWallPaper>(reg, dialogs, FormPlaces{store.root(), store.root()});
        window->Form_Load();
        return *window;
    }
};

} // namespace

TEST_F(Catalogue, ACurrentNameOutsideTheListIsLoadedAndJoinsItWhenSavedUnlessItHasAComma) {
    for (const auto& [current, names] :
         {std::pair{"Other"s, "A,Other\0"s}, std::pair{"X,Y"s, "A\0"s}}) {
        auto& form = Start("A,,A", current, {R"("Bmp",")" + current + R"(","o.bmp")"});
        EXPECT_EQ(form.lstRotateBmps.items(), Strings{"o.bmp"});
        EXPECT_FALSE(form.CollectionDirty);
        form.mnuDelete_Click();         // no entry is selected: nothing happens
        form.cmbCollection_LostFocus(); // a stored name with a comma is not refused
        form.mnuSave_Click();
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), names) << current;
    }
}

TEST_F(Catalogue, TypedNamesAreRefusedLoadedOrAddedAndALeftCollectionIsAskedAbout) {
    auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")", R"("Bmp","B","b.bmp")"});
    form.cmdRemoveAll_click();
    form.cmbCollection.SetText("Cats,Dogs");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0); // the edit stays, still to be saved
    form.cmbCollection_LostFocus();               // left unchanged: the edit stays, unsaved
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    form.cmbCollection.SetText("A");
    form.cmbCollection_Click(); // chosen again from the list: reloaded

    form.cmbCollection.SetText("Cats"); // a new name is added
    form.cmbCollection_LostFocus();
    form.orderGroup.Select(form.optDescending);
    dialogs.answers = {true};
    form.cmbCollection.SetText("B"); // an existing name is loaded, not added again
    form.cmbCollection_LostFocus();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].caption, "Save Changes to \"Cats\" ? ");
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")).at(4), R"("CycleOptions","Cats","2")");
    EXPECT_EQ(form.CollectionsList, "A,B,Cats");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"b.bmp"});
}

TEST_F(Catalogue, DeletingSelectsTheNextEntryAndOnlyTheBitmapsLeaveAtExit) {
    auto& form = Start("A,B,C", "C", {R"("Bmp","C","c")", R"("Days","C","2")", R"("Bmp","L","l")"});
    form.mnuDelete_Click(); // the last entry: the first follows
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    form.mnuExit_Click(); // asks nothing: the question below is the first
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,B\0"s);
    EXPECT_TRUE(StoredBitmapsOf(store.root(), "C").empty()); // only the bitmaps leave
    EXPECT_NE(ReadWholeFile(store.file("velum.cfg")).find(R"("Days","C","2")"), std::string::npos);
    EXPECT_EQ(StoredBitmapsOf(store.root(), "L"),
              Strings{"l"}); // a name the stored list lost is not deleted

    form.txtMinutes.SetText("5");
    form.mnuDelete_Click(); // a changed collection is asked about first
    EXPECT_EQ(dialogs.questions.at(0).text, "Do you want to save changes to the collection \"A\"?");
    form.mnuDelete_Click(); // the only entry
    EXPECT_EQ(form.CollectionsList, "");
    form.mnuDelete_Click();                 // nothing left to delete
    form.lstRotateBmps.AddItem("kept.bmp"); // saved again under the shown name: kept at exit
    form.mnuSave_Click();
    form.mnuExit_Click();
    EXPECT_EQ(StoredBitmapsOf(store.root(), "B"), Strings{"kept.bmp"});
}

TEST_F(Catalogue, SaveWithAnEmptySelectorSavesNoCollectionAndExitAsksNothing) {
    auto& form = Start("A", "");
    form.CollectionDirty = true;
    form.mnuSave_Click();
    form.mnuExit_Click(); // nothing can be saved under no name, and no state records are written
    EXPECT_EQ(dialogs.questions.size() + ReadWholeFile(store.file("velum.cfg")).size(), 0u);
}

TEST_F(Catalogue, ANameWithACommaIsRefusedOnEveryPathThatSavesIt) {
    for (bool exit : {false, true}) {
        auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
        form.lstRotateBmps.AddItem("b.bmp"); // an unsaved edit
        form.cmbCollection.SetText("A,B");
        dialogs.answers = {true};
        if (exit)
            form.mnuExit_Click();
        else
            form.mnuSave_Click();
        EXPECT_EQ(dialogs.messages.back().text, "A collection name cannot contain a comma.");
        EXPECT_EQ(form.cmbCollection.Text(), "A") << exit;
        EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"})) << exit;
        EXPECT_TRUE(StoredBitmapsOf(store.root(), "A,B").empty()) << exit;
    }
}

TEST_F(Catalogue, ANameTypedAndSavedIsNotAskedAboutAndIsOfferedAfterARestart) {
    auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")"});
    form.cmbCollection.SetText("B"); // an existing name takes the shown collection
    form.mnuSave_Click();
    EXPECT_EQ(StoredBitmapsOf(store.root(), "B"), Strings{"a.bmp"});
    form.cmbCollection.SetText("Fifth");
    form.mnuSave_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,B,Fifth\0"s);
    form.cmbCollection_LostFocus(); // the focus moves on: nothing to ask, nothing reloaded
    EXPECT_TRUE(dialogs.questions.empty());
    form.mnuExit_Click();

    window = std::make_unique<frmWallPaper>(
        reg, dialogs, FormPlaces{store.root(), store.root()}); // the program started again
    window->Form_Load();
    EXPECT_EQ(window->cmbCollection.items(), (Strings{"A", "B", "Fifth"}));
    EXPECT_EQ(window->cmbCollection.Text() + window->lstRotateBmps.List(0), "Fiftha.bmp");
}

TEST_F(Catalogue, LeavingTheSelectorWithTheNameUnchangedKeepsTheEditsAndTheirMark) {
    auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
    form.lstRotateBmps.AddItem("b.bmp"); // as Add All does
    form.CollectionDirty = true;
    form.cmbCollection_LostFocus(); // a click into the name and out again
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"}));
    EXPECT_TRUE(form.CollectionDirty);
    dialogs.answers = {true};
    form.mnuExit_Click(); // still asked about, and saved
    EXPECT_EQ(StoredBitmapsOf(store.root(), "A"), (Strings{"a.bmp", "b.bmp"}));
}

TEST_F(Catalogue, LeavingTheSelectorEmptyPutsTheLoadedNameBack) {
    auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")"});
    form.lstRotateBmps.AddItem("b.bmp");
    form.CollectionDirty = true;
    form.cmbCollection.SetText("");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"}));
    EXPECT_TRUE(form.CollectionDirty);
    dialogs.answers = {false};
    form.mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "A\0"s); // the next start opens on A
}

TEST_F(Catalogue, AStoredNameWithALineBreakIsRefusedAndTheFirstCollectionShownInstead) {
    auto& form = Start("A\nx,B", "A\n\"Index\",\"B\",\"7", {R"("Bmp","B","b.bmp")"});
    EXPECT_EQ(form.cmbCollection.Text(), "B");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"b.bmp"});
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form.cmbCollection.items(), Strings{"B"});
    form.mnuExit_Click();
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find('\n' + "\"Index\",\"B\",\"7"s),
              std::string::npos);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "B\0"s);
}

TEST_F(Catalogue, VelumspinRefusesAStoredNameWithALineBreakOnceAndWritesNoBrokenLine) {
    reg.Put(kOptionsKey, "Current", reg::kSz, "N\r\n\"Index\",\"B\",\"7\0"s);
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","B","b.bmp")"}));
    FakeDesktop desktop{reg};
    frmWallPaper cycler(reg, dialogs, {store.root(), store.root()}, kCyclerRole);
    cycler.UseDesktop(desktop);
    cycler.CycleOnce();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")).size(), 4u); // Default's state and B's bitmap
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find("\"7"), std::string::npos);
}

TEST_F(Catalogue, ATypedNameWithALineBreakIsRefusedAsACommaNameIs) {
    for (const std::string& name : {"C\nD"s, "C\rD"s, "C\0D"s}) {
        auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
        form.lstRotateBmps.AddItem("b.bmp");
        form.cmbCollection.SetText(name);
        form.mnuSave_Click();
        EXPECT_EQ(dialogs.messages.back().text, "A collection name cannot contain a line break.");
        EXPECT_EQ(form.cmbCollection.Text(), "A");
        EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"}));
        EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")).size(), 1u);
    }
}

namespace {

// Settings whose file cannot be read: every read finds nothing, as a hive file's do then.
struct UnreadableSettings final : Registry {
    MemoryRegistry& inner;
    explicit UnreadableSettings(MemoryRegistry& r) : inner(r) {}
    std::int32_t OpenKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.OpenKey(r, k, a, h);
    }
    std::int32_t CreateKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.CreateKey(r, k, a, h);
    }
    std::int32_t QueryValue(HKey, const std::string&, std::uint32_t*, unsigned char*,
                            std::uint32_t*) override {
        return reg::kFileNotFound;
    }
    std::int32_t SetValue(HKey k, const std::string& n, std::uint32_t t, const unsigned char* d,
                          std::uint32_t s) override {
        return inner.SetValue(k, n, t, d, s);
    }
    std::int32_t CloseKey(HKey k) override { return inner.CloseKey(k); }
    std::string ReadFailure() override { return "Cannot read user.reg: Is a directory"; }
};

} // namespace

TEST_F(Catalogue, UnreadableSettingsAreToldOnceAndTheWindowNeverWritesItsNamesOverThem) {
    reg.Put(kOptionsKey, "Collections", reg::kSz, "Mine\0"s);
    UnreadableSettings settings(reg);
    frmWallPaper form(settings, dialogs, {store.root(), store.root()});
    form.Form_Load();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "The settings could not be read; they are left as they "
                                        "are.\n\nCannot read user.reg: Is a directory");
    form.mnuSave_Click();
    form.mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Mine\0"s);
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(Catalogue, VelumspinOnUnreadableSettingsAppliesAndRecordsNothingAndFails) {
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","Default","d.bmp")"}));
    UnreadableSettings settings(reg);
    FakeDesktop desktop{reg};
    frmWallPaper cycler(settings, dialogs, {store.root(), store.root()}, kCyclerRole);
    cycler.UseDesktop(desktop);
    cycler.CycleOnce();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")), Strings{R"("Bmp","Default","d.bmp")"});
    EXPECT_TRUE(cycler.saveFailed());
}
