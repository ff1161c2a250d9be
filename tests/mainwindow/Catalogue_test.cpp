// The collections' names: typed, chosen, saved, deleted, refused, and the settings they live in.
#include "mainwindow/FormTest.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

using Catalogue = FormTest;

TEST_F(Catalogue, ACurrentNameOutsideTheListIsLoadedAndJoinsItWhenSavedUnlessItHasAComma) {
    for (const auto& [current, names] : {std::pair{"Other"s, "A,Other\0"s}, {"X,Y"s, "A\0"s}}) {
        auto& form = Start("A,,A", current, {R"("Bmp",")" + current + R"(","o.bmp")"});
        EXPECT_EQ(form.lstRotateBmps.items(), Strings{"o.bmp"});
        form.mnuDelete_Click();         // no entry is selected: nothing happens
        form.cmbCollection_LostFocus(); // a stored name with a comma is not refused
        form.mnuSave_Click();
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), names) << current;
    }
}

TEST_F(Catalogue, TypedNamesAreKeptLoadedAddedOrSavedAndALeftCollectionIsAskedAbout) {
    auto& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")", R"("Bmp","B","b.bmp")"});
    form.lstRotateBmps.AddItem("c.bmp"); // an unsaved edit, as Add All makes it
    form.CollectionDirty = true;
    form.cmbCollection.SetText(""); // an emptied name left: the edit stays, marked
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    dialogs.answers = {true, true};
    form.cmbCollection.SetText("Cats"); // a new name is added and the collection left asked about
    form.cmbCollection_LostFocus();
    EXPECT_EQ(StoredBitmapsOf(store.root(), "A"), (Strings{"a.bmp", "c.bmp"}));
    form.orderGroup.Select(form.optDescending);
    form.cmbCollection.SetText("B"); // an existing name is loaded, not added again
    form.cmbCollection_LostFocus();

    form.cmbCollection.SetText("A"); // saved under an existing name: it takes the shown list
    form.mnuSave_Click();
    EXPECT_EQ(StoredBitmapsOf(store.root(), "A"), Strings{"b.bmp"});
    form.cmbCollection.SetText("Fifth"); // saved under a new one: it joins, and is not asked about
    form.mnuSave_Click();
    form.cmbCollection_LostFocus();
    form.mnuExit_Click();
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[1].caption, "Save Changes to \"Cats\" ? ");
    Make().Form_Load(); // the program started again
    EXPECT_EQ(window->cmbCollection.items(), (Strings{"A", "B", "Cats", "Fifth"}));
    EXPECT_EQ(window->cmbCollection.Text() + window->lstRotateBmps.List(0), "Fifthb.bmp");
}

TEST_F(Catalogue, DeletingSelectsTheNextEntryAndTheBitmapsLeaveAtExit) {
    auto& form = Start("A,B,C", "C", {R"("Bmp","C","c")"});
    form.mnuDelete_Click(); // the last entry: the first follows, as the question below shows
    form.mnuExit_Click();   // asks nothing: the question below is the first
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,B\0"s);
    EXPECT_TRUE(StoredBitmapsOf(store.root(), "C").empty());
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

TEST_F(Catalogue, ATypedNameWithACommaOrALineBreakIsRefusedOnEveryPathThatTakesIt) {
    for (const auto& [name, told] :
         {std::pair{"A,C"s, "A collection name cannot contain a comma."s},
          {"C\nD"s, "A collection name cannot contain a line break."s}})
        for (auto leave : {&frmWallPaper::cmbCollection_LostFocus, &frmWallPaper::mnuSave_Click,
                           &frmWallPaper::mnuExit_Click}) {
            auto& form = Start("A", "A", {R"("Bmp","A","a.bmp")"});
            form.lstRotateBmps.AddItem("b.bmp"); // an unsaved edit
            form.cmbCollection.SetText(name);
            dialogs.answers = {true};
            (form.*leave)();
            EXPECT_EQ(dialogs.messages.back().text, told);
            EXPECT_EQ(form.cmbCollection.Text(), "A");
            EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "b.bmp"}));
            EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find(name), std::string::npos);
        }
}

// A stored name that would break velum.cfg's lines (velumspin loads it the same way).
TEST_F(Catalogue, AStoredNameWithALineBreakIsRefusedAndTheFirstCollectionShownInstead) {
    const std::string injected = "\"Index\",\"B\",\"7";
    auto& form = Start("A\nx,B", "A\n" + injected, {R"("Bmp","B","b.bmp")"});
    EXPECT_EQ(form.cmbCollection.items(), Strings{"B"});
    EXPECT_EQ(dialogs.messages.size(), 1u);
    form.mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "B\0"s);
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")).find(injected), std::string::npos);
}

TEST_F(Catalogue, UnreadableSettingsAreToldOnceAndNeitherProgramWritesOverThem) {
    reg.Put(kOptionsKey, "Collections", reg::kSz, "Mine\0"s);
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin({R"("Bmp","Default","d.bmp")"}));
    settings.unreadable = true;
    EXPECT_TRUE(Cycle()); // velumspin applies nothing, records nothing and fails
    EXPECT_TRUE(desktop.calls.empty());
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")), Strings{R"("Bmp","Default","d.bmp")"});
    Make().Form_Load();
    window->mnuSave_Click();
    window->mnuExit_Click();
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Mine\0"s);
    ASSERT_EQ(dialogs.messages.size(), 2u); // once by each program
    EXPECT_EQ(dialogs.messages[1].text, "The settings could not be read; they are left as they "
                                        "are.\n\nCannot read user.reg: Is a directory");
}
