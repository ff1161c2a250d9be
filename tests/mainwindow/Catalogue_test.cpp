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
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    std::unique_ptr<frmWallPaper> window;

    // A loaded window over the stored names, the current name and velum.cfg's records.
    frmWallPaper& Start(const std::string& names, const std::string& current,
                        const Strings& records = {}) {
        reg.Put(kOptionsKey, "Collections", reg::kSz, names + '\0');
        reg.Put(kOptionsKey, "Current", reg::kSz, current + '\0');
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        window = std::make_unique<frmWallPaper>(reg, dialogs);
        window->Form_Load();
        return *window;
    }
    // The program started again over what the last one left.
    frmWallPaper& Restart() {
        window = std::make_unique<frmWallPaper>(reg, dialogs);
        window->Form_Load();
        return *window;
    }
};

} // namespace

TEST_F(Catalogue, StoredNamesLoseDuplicatesEmptyNamesAndAllPastTheFirst101) {
    std::string many = "c0";
    for (int i = 1; i < 150; ++i)
        many += ",c" + std::to_string(i);
    const std::pair<std::string, std::string> cases[] = {
        {"Red,Blue,Red,,Green", "Red,Blue,Green,"},
        {",,,", ""},
        {"", "Default,"}, // none stored
        {many, many.substr(0, many.find(",c101")) + ","}};
    for (const auto& [stored, names] : cases) {
        // A current name outside the list is loaded but not added; saving it adds it.
        auto& form = Start(stored, "Other", {R"("Bmp","Other","o.bmp")"});
        EXPECT_EQ(form.lstRotateBmps.items(), Strings{"o.bmp"});
        EXPECT_FALSE(form.CollectionDirty);
        form.mnuDelete_Click(); // no entry is selected: nothing happens
        form.mnuSave_Click();
        EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), names + "Other" + '\0') << stored;
    }
}

TEST_F(Catalogue, TypedNamesAreRefusedLoadedOrAddedAndALeftCollectionIsAskedAbout) {
    auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")", R"("Bmp","B","b.bmp")"});
    form.cmdRemoveAll_click();
    form.cmbCollection.SetText("Cats,Dogs");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0); // the edit stays, still to be saved
    form.cmbCollection_LostFocus(); // left unchanged: the edit is dropped without a question
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"a.bmp"});

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
    const std::string cfg = ReadWholeFile(store.file("velum.cfg"));
    EXPECT_EQ(cfg.find(R"("Bmp","C")"), cfg.npos);
    // A name the stored list lost is not a deleted collection.
    for (const char* kept : {R"("Days","C","2")", R"("Bmp","L","l")"})
        EXPECT_NE(cfg.find(kept), cfg.npos) << kept;

    form.txtMinutes.SetText("5");
    form.mnuDelete_Click(); // a changed collection is asked about first
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text, "Do you want to save changes to the collection \"A\"?");
    form.mnuDelete_Click(); // the only entry
    EXPECT_EQ(form.CollectionsList, "");
    form.mnuDelete_Click();                 // nothing left to delete
    form.lstRotateBmps.AddItem("kept.bmp"); // saved again under the shown name: kept at exit
    form.mnuSave_Click();
    form.mnuExit_Click();
    const std::string cfg2 = ReadWholeFile(store.file("velum.cfg"));
    EXPECT_NE(cfg2.find(R"("Bmp","B","kept.bmp")"), cfg2.npos) << cfg2;
}

TEST_F(Catalogue, SaveWithAnEmptySelectorSavesNoCollectionAndExitAsksNothing) {
    auto& form = Start("A", "");
    form.CollectionDirty = true;
    form.mnuSave_Click();
    form.mnuExit_Click(); // nothing can be saved under no name, and no state records are written
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), "");
}

TEST_F(Catalogue, ANameWithACommaIsRefusedOnEveryPathThatSavesIt) {
    const char* const paths[] = {"Ctrl+S", "Exit", "Exit answered Yes"};
    for (const std::string path : paths) {
        auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
        form.lstRotateBmps.AddItem("b.bmp"); // an unsaved edit
        form.cmbCollection.SetText("A,B");
        dialogs.answers = {true};
        if (path == "Ctrl+S")
            form.mnuSave_Click();
        else
            form.mnuExit_Click();
        EXPECT_EQ(dialogs.messages.back().text, "A collection name cannot contain a comma.");
        EXPECT_EQ(form.cmbCollection.Text(), "A") << path;
        EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"})) << path;
        if (path != "Ctrl+S") { // the exit goes on under the name restored
            EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "A\0"s) << path;
        }
        const std::string cfg = ReadWholeFile(store.file("velum.cfg"));
        EXPECT_EQ(cfg.find("A,B"), cfg.npos) << path << "\n" << cfg;
    }
}

TEST_F(Catalogue, AStoredNameWithACommaLoadsAndIsNotRefusedWhenTheFocusMoves) {
    auto& form = Start("A", "X,Y", {R"("Bmp","X,Y","x.bmp")"});
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"x.bmp"});
    form.cmbCollection_LostFocus();
    form.cmbCollection_LostFocus();
    EXPECT_TRUE(dialogs.messages.empty());
    form.mnuSave_Click(); // saved under its name, but never joins the stored list
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A\0"s);
    EXPECT_EQ(form.cmbCollection.Text(), "X,Y");
}

TEST_F(Catalogue, ANameTypedAndSavedJoinsTheListAndIsOfferedAfterARestart) {
    auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
    form.cmbCollection.SetText("Fifth");
    form.mnuSave_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,Fifth\0"s);
    EXPECT_EQ(form.LoadedCollectionName, "Fifth");
    form.cmbCollection_LostFocus(); // the focus moves on: nothing to ask, nothing reloaded
    EXPECT_TRUE(dialogs.questions.empty());
    form.mnuExit_Click();

    auto& again = Restart();
    EXPECT_EQ(again.cmbCollection.items(), (Strings{"A", "Fifth"}));
    EXPECT_EQ(again.cmbCollection.Text(), "Fifth");
    EXPECT_EQ(again.lstRotateBmps.items(), Strings{"a.bmp"});
}

TEST_F(Catalogue, AnExistingNameTypedAndSavedIsNotAskedAboutAfterwards) {
    auto& form = Start("Third,Fourth", "Third", {R"("Bmp","Third","t.bmp")"});
    form.cmbCollection.SetText("Fourth");
    form.mnuSave_Click();
    form.cmbCollection_LostFocus();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(StoredBitmapsOf("Fourth"), Strings{"t.bmp"});
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"t.bmp"});
}
