#include <gtest/gtest.h>

#include <filesystem>

#include "common/Folders.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

struct Browser : ::testing::Test {
    TempFolder store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs, {store.root(), store.root()}};
    std::string pics = store.root() + "/pics";

    void SetUp() override {
        WriteWholeFile(pics + "/sun.bmp", "x");
        WriteWholeFile(pics + "/sub/moon.bmp", "x");
        WriteWholeFile(pics + "/two\nlines/x.bmp", "x"); // velum.cfg could not store its paths
        form.InitBrowser();
    }
};

} // namespace

TEST_F(Browser, StartUpShowsTheFolderOfTheLastAppliedBitmapAndNavigateToBmpFollowsAPath) {
    WriteWholeFile(store.file("velum.cfg"), "\"Bmp\",\"\",\"" + pics + "/sun.bmp\"\r\n");
    form.Form_Load();
    EXPECT_EQ(form.Dir1.Path(), pics);
    EXPECT_EQ(form.filWinBmps.items(), std::vector<std::string>{"sun.bmp"});
    EXPECT_EQ(form.Dir1.subfolders, std::vector<std::string>{"sub"});
    form.NavigateToBmp(pics + "//sub/../sub/");
    EXPECT_EQ(form.Dir1.Path(), pics + "/sub");
    // The root's own bitmap, then paths that leave the browser where it is.
    for (const char* path : {"/sun.bmp", "", "sub/sun.bmp", "/no/such/folder/sun.bmp"}) {
        form.NavigateToBmp(path);
        EXPECT_EQ(form.Dir1.Path() + " on " + form.Drive1.Drive(), "/ on /") << path;
    }
}

TEST_F(Browser, DrivesAreRealVolumesAndAChangeReturnsToTheFolderLastShownThereOrUndoesItself) {
    EXPECT_EQ(VolumeOf("/proc/self", form.Drive1.volumes), "/"); // no pseudo file systems
    EXPECT_EQ(VolumeOf("/m/ann/x.bmp", {"/", "/m/a", "/m/ann/x", "/m/ann"}), "/m/ann");
    form.Drive1.volumes.insert(form.Drive1.volumes.end(), {pics + "/sub", "/no-such-volume"});
    form.NavigateToBmp(pics + "/sun.bmp");
    const std::string v = form.Drive1.Drive();
    std::string shown; // after each change, the drive and the folder shown
    for (const std::string& drive : {std::string("/no-such-volume"), pics + "/sub", v}) {
        form.Drive1.SetDrive(drive);
        shown += form.Drive1.Drive() + ":" + form.Dir1.Path() + " ";
    }
    EXPECT_EQ(shown, v + ":" + pics + " " + pics + "/sub:" + pics + "/sub " + v + ":" + pics + " ");
}

TEST_F(Browser, TheDriveListFollowsTheFolderShownAndAGoneFolderFallsBackToTheMountPoint) {
    const std::string volume = store.root() + "/vol";
    WriteWholeFile(volume + "/deep/a.bmp", "x");
    form.Drive1.volumes.push_back(volume);
    form.NavigateToBmp(volume + "/deep/a.bmp");
    form.NavigateToBmp(pics + "/sub/moon.bmp"); // from another volume, into a subfolder
    EXPECT_EQ(form.Drive1.Drive(), VolumeOf(pics, form.Drive1.volumes));
    EXPECT_EQ(form.filWinBmps.Path(), pics + "/sub");
    std::filesystem::remove_all(volume + "/deep"); // the folder the volume remembers
    for (int visit = 0; visit < 2; ++visit) {
        form.Drive1.SetDrive(volume);
        EXPECT_EQ(form.Drive1.Drive() + ":" + form.Dir1.Path(), volume + ":" + volume) << visit;
        form.NavigateToBmp(pics + "/sun.bmp");
    }
}

TEST_F(Browser, FilesAndFoldersAreListedWithoutRegardToLetterCaseTiesByExactName) {
    for (const char* name : {"zoo.bmp", "Zoo.bmp", "apple.BMP", "Moon/x.bmp", "lake/x.bmp"})
        WriteWholeFile(pics + "/" + name, "x");
    form.NavigateToBmp(pics + "/sun.bmp");
    EXPECT_EQ(form.filWinBmps.items(),
              (std::vector<std::string>{"apple.BMP", "sun.bmp", "Zoo.bmp", "zoo.bmp"}));
    EXPECT_EQ(form.Dir1.subfolders, (std::vector<std::string>{"lake", "Moon", "sub"}));
}
