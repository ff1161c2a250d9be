#include <gtest/gtest.h>

#include <memory>

#include "common/Files.h"
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
    std::vector<std::unique_ptr<frmWallPaper>> forms;

    // A loaded window over the stored names, the current name and velum.cfg's records.
    frmWallPaper& Start(const std::string& names, const std::string& current,
                        const Strings& records = {}) {
        reg.Put(kOptionsKey, "Collections", REG_SZ, names + '\0');
        reg.Put(kOptionsKey, "Current", REG_SZ, current + '\0');
        if (!records.empty())
            WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        forms.push_back(std::make_unique<frmWallPaper>(reg, dialogs));
        forms.back()->Form_Load();
        return *forms.back();
    }
    // The selector's entries, comma-joined.
    static std::string Names(const frmWallPaper& form) {
        std::string out;
        for (const auto& name : form.cmbCollection.items())
            out += (out.empty() ? "" : ",") + name;
        return out;
    }
};

} // namespace

TEST_F(Catalogue, FirstRunWorksOnDefaultAndSavesUnderIt) {
    frmWallPaper form(reg, dialogs);
    form.Form_Load();
    EXPECT_EQ(Names(form), "Default");
    EXPECT_EQ(form.cmbCollection.Text(), "Default");
    EXPECT_EQ(form.LoadedCollectionName, "Default");
    EXPECT_FALSE(form.CollectionDirty);
    form.txtDays.SetText("2");
    form.styleGroup.Select(form.optTile);
    form.orderGroup.Select(form.optDescending);
    form.chkAutoView.SetValue(1);
    form.mnuSave_Click();
    EXPECT_FALSE(form.CollectionDirty);
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg")),
              (Strings{R"("Max","Default",0)", R"("Minutes","Default","")",
                       R"("Hours","Default","")", R"("Days","Default","2")",
                       R"("CycleOptions","Default","2")", R"("TileWallpaper","Default","1")"}));
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Default\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "Default\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), "YES\0"s);
}

TEST_F(Catalogue, StoredNamesLoseDuplicatesEmptyNamesAndAllPastTheFirst101) {
    std::string many, first101;
    for (int i = 0; i < 150; ++i) {
        many += (i ? "," : "") + ("c" + std::to_string(i));
        if (i == 100)
            first101 = many;
    }
    const std::pair<std::string, std::string> cases[] = {
        {"Red,Blue,Red,,Green", "Red,Blue,Green"}, {"A,B,", "A,B"}, {",,,", ""}, {many, first101}};
    for (const auto& [stored, names] : cases) {
        // A current name outside the list is loaded but not added.
        frmWallPaper& form = Start(stored, "Other", {R"("Bmp","Other","o.bmp")"});
        EXPECT_EQ(Names(form), names);
        EXPECT_EQ(form.cmbCollection.Text(), "Other");
        EXPECT_EQ(form.lstRotateBmps.items(), Strings{"o.bmp"});
        EXPECT_FALSE(form.CollectionDirty);
        form.mnuDelete_Click(); // no entry is selected: nothing happens
        form.mnuSave_Click();
        EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), names + '\0') << stored;
    }
}

TEST_F(Catalogue, TypedNamesAreRefusedLoadedOrAddedAndALeftCollectionIsAskedAbout) {
    frmWallPaper& form = Start("A,B", "A", {R"("Bmp","A","a.bmp")", R"("Bmp","B","b.bmp")"});
    form.lstRotateBmps.AddItem("new.bmp");
    form.txtDays.SetText("3");
    form.cmbCollection.SetText("Cats,Dogs");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    EXPECT_EQ(form.cmbCollection.ListIndex(), 0);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(form.CollectionDirty); // the edits are still there to be saved
    EXPECT_EQ(form.lstRotateBmps.items(), (Strings{"a.bmp", "new.bmp"}));

    form.cmbCollection_LostFocus(); // left unchanged: the edits go without a question
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"a.bmp"});
    EXPECT_FALSE(form.CollectionDirty);

    form.cmbCollection.SetText("Cats");
    form.cmbCollection_LostFocus();
    EXPECT_EQ(Names(form), "A,B,Cats");
    EXPECT_EQ(form.CollectionsList, "A,B,Cats");
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    EXPECT_TRUE(form.CollectionDirty);
    EXPECT_TRUE(dialogs.questions.empty());

    dialogs.answers = {true};
    form.cmbCollection.SetText("B"); // an existing name is loaded, not added again
    form.cmbCollection_LostFocus();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].caption, "Save Changes to \"Cats\" ? ");
    EXPECT_EQ(ReadCrlfLines(store.file("velum.cfg"))[0], R"("Max","Cats",0)");
    EXPECT_FALSE(form.CollectionDirty);
    EXPECT_EQ(Names(form), "A,B,Cats");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"b.bmp"});
}

TEST_F(Catalogue, DeletingSelectsTheNextEntryAndOnlyTheBitmapsLeaveAtExit) {
    frmWallPaper& form =
        Start("A,B,C", "C",
              {R"("Bmp","A","a.bmp")", R"("Bmp","B","b.bmp")", R"("Bmp","C","c.bmp")",
               R"("Days","C","2")", R"("Bmp","Lost","l.bmp")"});
    form.mnuDelete_Click(); // the last entry: the first follows
    EXPECT_EQ(form.cmbCollection.Text(), "A");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"a.bmp"});
    form.mnuExit_Click();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "A,B\0"s);
    const std::string cfg = ReadWholeFile(store.file("velum.cfg"));
    EXPECT_EQ(cfg.find(R"("Bmp","C")"), cfg.npos);
    // A name the stored list lost is not a deleted collection.
    for (const char* kept :
         {R"("Days","C","2")", R"("Bmp","A","a.bmp")", R"("Bmp","Lost","l.bmp")"})
        EXPECT_NE(cfg.find(kept), cfg.npos) << kept;

    form.txtMinutes.SetText("5");
    form.mnuDelete_Click(); // a changed collection is asked about first
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text, "Do you want to save changes to the collection \"A\"?");
    EXPECT_EQ(Names(form), "B");
    form.mnuDelete_Click(); // the only entry
    EXPECT_EQ(Names(form), "");
    EXPECT_EQ(form.CollectionsList, "");
    EXPECT_EQ(form.lstRotateBmps.items(), Strings{"b.bmp"});
    form.mnuDelete_Click(); // nothing left to delete
}

TEST_F(Catalogue, SaveWithAnEmptySelectorSavesNoCollectionAndExitAsksNothing) {
    frmWallPaper& form = Start("A", "");
    form.lstRotateBmps.AddItem("x.bmp");
    form.CollectionDirty = true;
    form.mnuSave_Click();
    EXPECT_FALSE(FileExists(store.file("velum.cfg")));
    form.mnuExit_Click(); // nothing can be saved under no name, and no state records are written
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(ReadWholeFile(store.file("velum.cfg")), "");
}
