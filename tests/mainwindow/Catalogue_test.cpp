// The collections' names: typed, chosen, saved, deleted, refused, and the settings they live in.
#include "mainwindow/FormTest.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

struct Catalogue : FormTest {};

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

TEST_F(Catalogue, LeavingTheSelectorWithTheNameUnchangedOrEmptyKeepsTheEditsAndTheirMark) {
    for (const std::string typed : {"A", ""}) {
        auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")"});
        form.lstRotateBmps.AddItem("b.bmp"); // as Add All does
        form.CollectionDirty = true;
        form.cmbCollection.SetText(typed); // a click into the name and out again
        form.cmbCollection_LostFocus();
        EXPECT_EQ(form.cmbCollection.Text(), "A") << typed;
        EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"})) << typed;
        dialogs.answers = {true};
        form.mnuExit_Click(); // still asked about, and saved
        EXPECT_EQ(StoredBitmapsOf(store.root(), "A"), (Strings{"a.bmp", "b.bmp"})) << typed;
        EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "A\0"s) << typed;
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

    Make().Form_Load(); // the program started again
    EXPECT_EQ(window->cmbCollection.items(), (Strings{"A", "B", "Fifth"}));
    EXPECT_EQ(window->cmbCollection.Text() + window->lstRotateBmps.List(0), "Fiftha.bmp");
}

TEST_F(Catalogue, DeletingSelectsTheNextEntryAndOnlyTheBitmapsLeaveAtExit) {
    auto& form = Start("A,B,C", "C", {R"("Bmp","C","c")", R"("Days","C","2")", R"("Bmp","L","l")"});
    form.mnuDelete_Click(); // the last entry: the first follows
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    form.mnuExit_Click(); // asks nothing: the question below is the first
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,B\0"s);
    EXPECT_TRUE(StoredBitmapsOf(store.root(), "C").empty()); // only the bitmaps leave
    EXPECT_NE(ReadWholeFile(store.file("velum.cfg")).find(R"("Days","C","2")"), std::string::npos);
    EXPECT_EQ(StoredBitmapsOf(store.root(), "L"), Strings{"l"}); // not in the stored list: kept

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

TEST_F(Catalogue, ATypedNameWithACommaOrALineBreakIsRefusedOnEveryPathThatSavesIt) {
    const std::string comma = "A collection name cannot contain a comma.",
                      lineBreak = "A collection name cannot contain a line break.";
    for (const auto& [name, told] : {std::pair{"A,B"s, comma}, std::pair{"C\nD"s, lineBreak},
                                     std::pair{"C\rD"s, lineBreak}, std::pair{"C\0D"s, lineBreak}})
        for (bool exit : {false, true}) {
            auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
            form.lstRotateBmps.AddItem("b.bmp"); // an unsaved edit
            form.cmbCollection.SetText(name);
            dialogs.answers = {true};
            exit ? form.mnuExit_Click() : form.mnuSave_Click();
            EXPECT_EQ(dialogs.messages.back().text, told) << exit;
            EXPECT_EQ(form.cmbCollection.Text(), "A") << exit;
            EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"})) << exit;
            EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find(name), std::string::npos);
        }
}

// A stored name that would break velum.cfg's lines: the window shows the first collection
// instead, velumspin cycles it; both tell it once and write no broken line.
TEST_F(Catalogue, AStoredNameWithALineBreakIsRefusedAndTheFirstCollectionShownInstead) {
    const std::string injected = "\"Index\",\"B\",\"7";
    auto& form = Start("A\nx,B", "A\n" + injected, {R"("Bmp","B","b.bmp")"});
    EXPECT_EQ(form.cmbCollection.Text(), "B");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"b.bmp"});
    EXPECT_EQ(form.cmbCollection.items(), Strings{"B"});
    EXPECT_EQ(dialogs.messages.size(), 1u);
    form.mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "B\0"s);
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find(injected), std::string::npos);
    reg.Put(kOptionsKey, "Current", reg::kSz, "N\r\n" + injected + '\0');
    Cycle();
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find("\"7"), std::string::npos);
}

TEST_F(Catalogue, UnreadableSettingsAreToldOnceAndNeitherProgramWritesOverThem) {
    reg.Put(kOptionsKey, "Collections", reg::kSz, "Mine\0"s);
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","Default","d.bmp")"}));
    settings.unreadable = true;
    EXPECT_TRUE(Cycle()); // velumspin applies nothing, records nothing and fails
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")), Strings{R"("Bmp","Default","d.bmp")"});
    ASSERT_EQ(dialogs.messages.size(), 1u);

    auto& form = Make();
    form.Form_Load();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, "The settings could not be read; they are left as they "
                                        "are.\n\nCannot read user.reg: Is a directory");
    form.mnuSave_Click();
    form.mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Mine\0"s);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}
