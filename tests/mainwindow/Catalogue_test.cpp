#include <gtest/gtest.h>

#include "common/Files.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

const std::string kOpt = kOptionsKey;

std::string Sz(const std::string& s) {
    return s + std::string(1, '\0');
}

struct Fixture : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;

    void Stored(const std::string& collections, const std::string& current) {
        reg.Put(kOpt, "Collections", REG_SZ, Sz(collections));
        reg.Put(kOpt, "Current", REG_SZ, Sz(current));
    }
    void Config(const std::vector<std::string>& lines) {
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(lines));
    }
};

struct Catalogue : Fixture {};

} // namespace

TEST_F(Catalogue, FirstRunWorksOnDefaultAndSavesUnderIt) {
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    EXPECT_EQ(form.cmbCollection.items(), std::vector<std::string>{"Default"});
    EXPECT_EQ(form.cmbCollection.Text(), "Default");
    EXPECT_EQ(form.LoadedCollectionName, "Default");
    EXPECT_EQ(form.CollectionsList, "Default");
    EXPECT_FALSE(form.CollectionDirty);

    form.lstRotateBmps.AddItem("/p/a.bmp");
    form.CollectionDirty = true;
    form.mnuExit_Click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text,
              "Do you want to save changes to the collection \"Default\"?");
    EXPECT_EQ(reg.Raw(kOpt, "Collections"), Sz("Default"));
    EXPECT_EQ(reg.Raw(kOpt, "Current"), Sz("Default"));
}

TEST_F(Catalogue, StoredNamesDropDuplicatesAndEmptyNames) {
    Stored("Red,Blue,Red,,Green", "Blue");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    EXPECT_EQ(form.cmbCollection.items(), (std::vector<std::string>{"Red", "Blue", "Green"}));
    EXPECT_EQ(form.CollectionsList, "Red,Blue,Green");
    EXPECT_EQ(form.cmbCollection.ListIndex(), 1);
    EXPECT_FALSE(form.CollectionDirty);
}

TEST_F(Catalogue, TrailingCommaAndOnlyCommas) {
    Stored("A,B,", "");
    frmWallPaper a(reg, dialogs);
    a.Form_Load();
    EXPECT_EQ(a.cmbCollection.items(), (std::vector<std::string>{"A", "B"}));

    Stored(",,,", "");
    frmWallPaper b(reg, dialogs);
    b.Form_Load();
    EXPECT_EQ(b.cmbCollection.ListCount(), 0);
    EXPECT_EQ(b.cmbCollection.Text(), "");
    EXPECT_EQ(b.CollectionsList, "");
}

TEST_F(Catalogue, TakesAtMost101StoredNames) {
    std::string names;
    for (int i = 0; i < 150; ++i)
        names += (i ? "," : "") + std::string("c") + std::to_string(i);
    Stored(names, "c0");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    ASSERT_EQ(form.cmbCollection.ListCount(), 101);
    EXPECT_EQ(form.cmbCollection.List(100), "c100");
    form.mnuSave_Click();
    std::string saved = reg.Raw(kOpt, "Collections");
    EXPECT_EQ(saved.substr(saved.size() - 6), "," + Sz("c100"));
}

TEST_F(Catalogue, CurrentNotInTheListIsLoadedButNotAdded) {
    Stored("A,B", "Other");
    Config({R"("Bmp","Other","o.bmp")", R"("Bmp","A","a.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    EXPECT_EQ(form.cmbCollection.Text(), "Other");
    EXPECT_EQ(form.cmbCollection.ListCount(), 2);
    EXPECT_EQ(form.cmbCollection.ListIndex(), -1);
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"o.bmp"});
}

TEST_F(Catalogue, TypingANewNameAddsItAndAskingFollows) {
    Stored("Nature", "Nature");
    Config({R"("Bmp","Nature","n.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    ASSERT_EQ(form.lstRotateBmps.ListCount(), 1);

    form.cmbCollection.SetText("Cats");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.items(), (std::vector<std::string>{"Nature", "Cats"}));
    EXPECT_EQ(form.CollectionsList, "Nature,Cats");
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_TRUE(dialogs.questions.empty());

    dialogs.answers = {true};
    form.cmbCollection.SetListIndex(0);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].caption, "Save Changes to \"Cats\" ? ");
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"n.bmp"});
    auto lines = ReadCrlfLines(store.file("velum.cfg"));
    EXPECT_EQ(lines[0], R"("Max","Cats",0)");
    EXPECT_FALSE(form.CollectionDirty);
}

TEST_F(Catalogue, TypingAnExistingNameLoadsItWithoutASecondEntry) {
    Stored("A,B", "A");
    Config({R"("Bmp","B","b.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.cmbCollection.SetText("B");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.ListCount(), 2);
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"b.bmp"});
    EXPECT_EQ(form.LoadedCollectionName, "B");
}

TEST_F(Catalogue, LeavingTheSelectorUnchangedDiscardsEditsWithoutAsking) {
    Stored("A", "A");
    Config({R"("Bmp","A","a.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.lstRotateBmps.AddItem("new.bmp");
    form.txtDays.SetText("3");
    ASSERT_TRUE(form.CollectionDirty);
    form.cmbCollection_LostFocus();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"a.bmp"});
    EXPECT_FALSE(form.CollectionDirty);
}

TEST_F(Catalogue, ANameWithACommaIsRefusedAndTheSelectorGoesBack) {
    Stored("A,B", "A");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.lstRotateBmps.AddItem("edit.bmp");
    form.CollectionDirty = true;
    form.cmbCollection.SetText("Cats,Dogs");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    EXPECT_EQ(form.cmbCollection.ListIndex(), 0);
    EXPECT_EQ(form.CollectionsList, "A,B");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(form.CollectionDirty); // the edits are still there to be saved
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"edit.bmp"});
}

TEST_F(Catalogue, DeletingTheLastEntrySelectsTheFirstAndTheOnlyEntryEmptiesTheList) {
    Stored("A,B,C", "C");
    Config({R"("Bmp","A","a.bmp")", R"("Bmp","C","c.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.mnuDelete_Click();
    EXPECT_EQ(form.cmbCollection.items(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    EXPECT_EQ(form.CollectionsList, "A,B");
    EXPECT_EQ(form.lstRotateBmps.items(), std::vector<std::string>{"a.bmp"});
    EXPECT_TRUE(dialogs.questions.empty());

    Stored("Only", "Only");
    Config({R"("Bmp","Only","o.bmp")"});
    frmWallPaper one(reg, dialogs);
    one.Form_Load();
    one.mnuDelete_Click();
    EXPECT_EQ(one.cmbCollection.ListCount(), 0);
    EXPECT_EQ(one.CollectionsList, "");
    EXPECT_EQ(one.lstRotateBmps.items(), std::vector<std::string>{"o.bmp"});
    one.mnuDelete_Click(); // nothing left to delete
    EXPECT_EQ(one.cmbCollection.ListCount(), 0);
}

TEST_F(Catalogue, DeletingAChangedCollectionAsksAboutItFirst) {
    Stored("A,B", "A");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.txtMinutes.SetText("5");
    form.mnuDelete_Click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text, "Do you want to save changes to the collection \"A\"?");
    EXPECT_EQ(form.cmbCollection.items(), std::vector<std::string>{"B"});
}

TEST_F(Catalogue, DeleteWithNoSelectedEntryDoesNothing) {
    Stored("A,B", "Typed");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    ASSERT_EQ(form.cmbCollection.ListIndex(), -1);
    form.mnuDelete_Click();
    EXPECT_EQ(form.cmbCollection.ListCount(), 2);
}

TEST_F(Catalogue, DeletedCollectionLosesOnlyItsBitmapsAtExit) {
    Stored("A,B", "A");
    Config({R"("Bmp","B","b.bmp")", R"("Days","B","2")", R"("Bmp","A","a.bmp")",
            R"("Bmp","Lost","l.bmp")"});
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    form.cmbCollection.SetListIndex(1);
    form.mnuDelete_Click(); // deletes B, A follows
    form.mnuExit_Click();
    auto lines = ReadCrlfLines(store.file("velum.cfg"));
    auto has = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    };
    EXPECT_FALSE(has(R"("Bmp","B","b.bmp")"));
    EXPECT_TRUE(has(R"("Days","B","2")"));
    EXPECT_TRUE(has(R"("Bmp","A","a.bmp")"));
    // A name the stored list lost is not a deleted collection.
    EXPECT_TRUE(has(R"("Bmp","Lost","l.bmp")"));
    EXPECT_EQ(reg.Raw(kOpt, "Collections"), Sz("A"));
}

TEST_F(Catalogue, SaveWithAnEmptySelectorSavesNoCollection) {
    Stored("A", "");
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    ASSERT_EQ(form.cmbCollection.Text(), "");
    form.lstRotateBmps.AddItem("x.bmp");
    form.mnuSave_Click();
    EXPECT_FALSE(store.winDir().empty());
    EXPECT_FALSE(FileExists(store.file("velum.cfg")));
    EXPECT_EQ(form.mousePointer, MousePointer::Default);
    form.CollectionDirty = true;
    form.mnuExit_Click(); // no question about a collection without a name, no state records
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), "");
}

TEST_F(Catalogue, SaveWritesSettingsAndCollectionAndClearsDirty) {
    Stored("A", "A");
    reg.Put(kOpt, "ViewBmp", REG_SZ, Sz("YES"));
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    EXPECT_EQ(form.chkAutoView.Value(), 1);
    form.txtDays.SetText("2");
    form.styleGroup.Select(form.optTile);
    form.orderGroup.Select(form.optDescending);
    form.mnuSave_Click();
    EXPECT_FALSE(form.CollectionDirty);
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")),
              (std::vector<std::string>{
                  R"("Max","A",0)", R"("Minutes","A","")", R"("Hours","A","")", R"("Days","A","2")",
                  R"("CycleOptions","A","2")", R"("TileWallpaper","A","1")"}));
    EXPECT_EQ(reg.Raw(kOpt, "ViewBmp"), Sz("YES"));
}
