#include <gtest/gtest.h>

#include "common/Folders.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

namespace {

struct Browser : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form{reg, dialogs};
    std::string pics = store.root() + "/pics";

    void SetUp() override {
        WriteWholeFile(pics + "/sun.bmp", "x");
        WriteWholeFile(pics + "/sub/moon.bmp", "x");
        form.InitBrowser();
    }
};

} // namespace

TEST_F(Browser, NavigateToBmpFollowsTheFolderOfAPath) {
    form.NavigateToBmp(pics + "/sun.bmp");
    EXPECT_EQ(form.Dir1.Path(), pics);
    EXPECT_EQ(form.Drive1.Drive(), VolumeOf(pics, form.Drive1.volumes));
    EXPECT_EQ(form.filWinBmps.items(), std::vector<std::string>{"sun.bmp"});
    EXPECT_EQ(form.Dir1.subfolders, std::vector<std::string>{"sub"});

    form.NavigateToBmp(pics + "/sub/");
    EXPECT_EQ(form.Dir1.Path(), pics + "/sub");
    form.NavigateToBmp("/sun.bmp");
    EXPECT_EQ(form.Dir1.Path(), "/");
    EXPECT_EQ(form.Drive1.Drive(), "/");

    for (const char* ignored : {"", "sun.bmp", "/no/such/folder/sun.bmp"}) {
        form.NavigateToBmp(ignored);
        EXPECT_EQ(form.Dir1.Path(), "/") << ignored;
    }
    form.NavigateToBmp(pics + "//sub/../sun.bmp");
    EXPECT_EQ(form.Dir1.Path(), pics);
}

TEST_F(Browser, ADriveChangeReturnsToTheFolderLastShownThereOrUndoesItself) {
    form.NavigateToBmp(pics + "/sun.bmp");
    const std::string volume = form.Drive1.Drive();
    form.Drive1.volumes.push_back("/no-such-volume");
    form.Drive1.SetDrive("/no-such-volume");
    EXPECT_EQ(form.Drive1.Drive(), volume);
    EXPECT_EQ(form.Dir1.Path(), pics);

    if (volume != "/") {
        form.Drive1.SetDrive("/");
        EXPECT_EQ(form.Dir1.Path(), "/");
        form.Drive1.SetDrive(volume);
        EXPECT_EQ(form.Dir1.Path(), pics);
    }
}

TEST_F(Browser, VolumesLeaveOutPseudoFileSystemsAndMatchWholeFolderNames) {
    auto volumes = ListVolumes();
    EXPECT_NE(std::find(volumes.begin(), volumes.end(), "/"), volumes.end());
    EXPECT_EQ(std::find(volumes.begin(), volumes.end(), "/proc"), volumes.end());
    EXPECT_EQ(VolumeOf("/media/ann/x.bmp", {"/", "/media/a", "/media/ann"}), "/media/ann");
    EXPECT_EQ(VolumeOf("/media/annex/x.bmp", {"/", "/media/ann"}), "/");
}

TEST_F(Browser, StartUpPointsTheBrowserAtTheLastAppliedBitmap) {
    WriteWholeFile(store.file("velum.cfg"), "\"Bmp\",\"\",\"" + pics + "/sub/moon.bmp\"\r\n");
    form.Form_Load();
    EXPECT_EQ(form.Dir1.Path(), pics + "/sub");
    EXPECT_EQ(form.filWinBmps.items(), std::vector<std::string>{"moon.bmp"});
}
