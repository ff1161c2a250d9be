// The Windows halves on the real interfaces of Wine: advapi32, kernel32, oleaut32.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/DateTime.h"
#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/Launch.h"
#include "common/PlatformRegistry.h"
#include "common/RegistrySettings.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

// The reading rules are the portable code's; here the bytes the real registry keeps and gives.
TEST(WinRegistry, ValuesWithTwoNulsMissingKeysAndSaving) {
    const auto clean = [] { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumor"); };
    clean();
    std::unique_ptr<Registry> reg = CreatePlatformRegistry();
    WriteSetting(*reg, kOptionsKey, "Current", std::string("Nature"), REG_SZ);
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Current"), "<no key>"); // writing made none
    PutValue(*reg, kOptionsKey, "ViewBmp", REG_SZ, "YES\0\0"s);
    EXPECT_EQ(ReadViewBmp(*reg), "YES\0"s);
    SaveOptions(*reg, 1, "Default,Nature", "");
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Collections"), "Default,Nature\0"s);
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Current"), "\0"s);
    clean();
}

TEST(WinFiles, FileExistsAndStartingPrograms) {
    EXPECT_TRUE(FileExists(GetWinDir() + "win.ini"));
    EXPECT_FALSE(FileExists(GetWinDir() + std::string(200, 'x') + ".cfg")); // past MAX_PATH
    EXPECT_FALSE(StartProgram("C:\\no-such-folder\\MSINFO32.EXE"));
    EXPECT_TRUE(StartProgram(GetWinDir() + "system32\\hostname.exe"));
}

// Replacing under the lock, with the old file given to the writer, is what StoreProcesses checks.
TEST(WinFiles, AFailedRewriteLeavesTheOldFileAndSpecialFilesAreRefused) {
    TempStore store;
    const std::string cfg = store.file("velum.cfg");
    EXPECT_EQ(OpenForReading(cfg), nullptr);
    const auto write = [&](const std::string& text, bool fail) {
        RewriteFile(cfg, "~velum.tmp", [&](std::istream*, std::ostream& out) {
            out << text;
            if (fail)
                throw std::runtime_error("disk full");
        });
    };
    write("one\r\n", false);
    EXPECT_THROW(write("half", true), IoFailure);
    EXPECT_EQ(ReadWholeFile(cfg), "one\r\n");
    EXPECT_THROW(OpenForReading("NUL"), IoFailure); // a character device, as CON is
    std::filesystem::remove(cfg);
    std::filesystem::create_directory(cfg); // a folder where the file should be is never replaced
    EXPECT_THROW(OpenForReading(cfg), IoFailure);
    EXPECT_THROW(write("x", false), IoFailure);
    EXPECT_TRUE(std::filesystem::is_directory(cfg));
}

TEST(WinFolders, DrivesFoldersAndBitmapsInAnyLetterCase) {
    TempStore store;
    const std::string pics = store.root() + "\\pics";
    for (const char* name : {"b.BMP", "a.bmp", "c.txt", "sub\\d.bmp"})
        WriteWholeFile(pics + "\\" + name, "x");
    SetFileAttributesA((pics + "\\a.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const FolderContents contents = ReadFolderContents(pics);
    EXPECT_EQ(contents.bitmaps, (std::vector<std::string>{"b.BMP"}));
    EXPECT_EQ(contents.subfolders, (std::vector<std::string>{"sub"}));
    EXPECT_EQ(VolumeOf("C:\\Pictures\\a.bmp", ListVolumes()), "C:\\");
    EXPECT_EQ(NormalizeFolder("c:/Pictures//x\\..\\"), "C:\\Pictures");
}

// Wine's default user locale here is English (United States).
TEST(WinDateTime, TheLocaleFormIsWrittenAndRead) {
    const DateTime evening{2026, 12, 6, 19, 4, 5};
    EXPECT_EQ(DateTimeToStoredText(evening), "12/6/2026 7:04:05 PM");
    EXPECT_EQ(DateTimeFromText("12/6/2026 7:04:05 PM"), evening);
    EXPECT_EQ(DateTimeFromText("not a date"), std::nullopt);
}
