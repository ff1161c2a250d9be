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
        for (const char* name : {"sun.bmp", "sub/moon.bmp", "two\nlines/x.bmp", "zoo.bmp",
                                 "Zoo.bmp", "apple.BMP", "Moon/x.bmp", "lake/x.bmp"})
            WriteWholeFile(pics + "/" + name, "x");
        form.InitBrowser();
    }
};

} // namespace

// Files and folders are listed without regard to letter case, ties by exact name; a folder whose
// paths velum.cfg could not store is left out.
TEST_F(Browser, StartUpShowsTheFolderOfTheLastAppliedBitmapSortedAndNavigateToBmpFollowsAPath) {
    WriteWholeFile(store.file("velum.cfg"), "\"Bmp\",\"\",\"" + pics + "/sun.bmp\"\r\n");
    form.Form_Load();
    EXPECT_EQ(form.Dir1.Path(), pics);
    EXPECT_EQ(form.filWinBmps.items(),
              (std::vector<std::string>{"apple.BMP", "sun.bmp", "Zoo.bmp", "zoo.bmp"}));
    EXPECT_EQ(form.Dir1.subfolders, (std::vector<std::string>{"lake", "Moon", "sub"}));
    form.NavigateToBmp(pics + "//sub/../sub/");
    EXPECT_EQ(form.Dir1.Path(), pics + "/sub");
    // The root's own bitmap, then paths that leave the browser where it is.
    for (const char* path : {"/sun.bmp", "", "sub/sun.bmp", "/no/such/folder/sun.bmp"}) {
        form.NavigateToBmp(path);
        EXPECT_EQ(form.Dir1.Path() + " on " + form.Drive1.Drive(), "/ on /") << path;
    }
}

TEST_F(Browser, DrivesAreRealVolumesAndAChangeReturnsToTheFolderLastShownThereOrItsMountPoint) {
    EXPECT_EQ(VolumeOf("/proc/self", form.Drive1.volumes), "/"); // no pseudo file systems
    EXPECT_EQ(VolumeOf("/m/ann/x.bmp", {"/", "/m/a", "/m/ann/x", "/m/ann"}), "/m/ann");
    const std::string volume = store.root() + "/vol", v = VolumeOf(pics, form.Drive1.volumes);
    WriteWholeFile(volume + "/deep/a.bmp", "x");
    form.Drive1.volumes.insert(form.Drive1.volumes.end(),
                               {pics + "/sub", "/no-such-volume", volume});
    form.NavigateToBmp(volume + "/deep/a.bmp");
    form.NavigateToBmp(pics + "/sun.bmp"); // the drive list follows
    std::filesystem::remove_all(volume + "/deep");
    const std::pair<std::string, std::string> visits[] = {
        {"/no-such-volume", v + ":" + pics}, // undone
        {pics + "/sub", pics + "/sub:" + pics + "/sub"},
        {v, v + ":" + pics},
        {volume, volume + ":" + volume}};
    for (const auto& [drive, shown] : visits) {
        form.Drive1.SetDrive(drive);
        EXPECT_EQ(form.Drive1.Drive() + ":" + form.filWinBmps.Path(), shown) << drive;
    }
}

// The folder read ahead at start-up serves the first listing only: a later one reads the folder
// as it is then, and so does a listing of another folder.
TEST(FolderReadAhead, ServesTheFirstListingOfThatFolderOnly) {
    TempFolder root;
    const std::string pics = root.root() + "/pics";
    WriteWholeFile(pics + "/a.bmp", "x");
    ReadFolderAhead(pics + "/./");
    WriteWholeFile(pics + "/b.bmp", "x"); // may or may not be in the reading ahead
    EXPECT_EQ(ReadFolderContents(pics).bitmaps.front(), "a.bmp");
    WriteWholeFile(pics + "/c.bmp", "x");
    EXPECT_EQ(ReadFolderContents(pics).bitmaps,
              (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
    ReadFolderAhead(pics); // too late: nothing reads ahead once the program has listed a folder
    WriteWholeFile(pics + "/d.bmp", "x");
    EXPECT_EQ(ReadFolderContents(pics).bitmaps.size(), 4u);
}
