// The Windows halves on the real interfaces of Wine: advapi32, kernel32, oleaut32.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/DateTime.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/Launch.h"
#include "common/PlatformRegistry.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

// Last: its macros take the names of our registry constants.
#include <windows.h>

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

constexpr HKey kCurrentUser = 0x80000001u;

// The real registry, with the keys the tests touch removed before and after.
struct WinRegistryTest : ::testing::Test {
    std::unique_ptr<Registry> reg = CreatePlatformRegistry();
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumor");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VelumTest");
    }
    // Stores raw bytes under HKEY_CURRENT_USER\Software\Velumor\Options.
    static void Put(const std::string& name, DWORD type, const std::string& bytes) {
        ::HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
    }
    // The stored bytes and type, or "<none>".
    static std::string Raw(const std::string& keyPath, const std::string& name) {
        char data[256];
        DWORD size = sizeof data, type = 0;
        if (RegGetValueA(HKEY_CURRENT_USER, keyPath.c_str(), name.c_str(),
                         RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
            return "<none>";
        return std::to_string(type) + ":" + std::string(data, size);
    }
    static bool KeyExists(const std::string& keyPath) {
        ::HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
};

} // namespace

TEST_F(WinRegistryTest, TextValuesWithNoneOneOrTwoNulsDwordsAndOtherTypes) {
    const std::tuple<DWORD, std::string, std::string> cases[] = {
        {REG_SZ, "YES\0"s, "YES"},        {REG_SZ, "YES", "YES"},
        {REG_SZ, "YES\0\0"s, "YES\0"s},   {REG_SZ, "\0"s, ""},
        {REG_DWORD, "\x05\0\0\0"s, "5"},  {REG_DWORD, "\xff\xff\xff\xff", "-1"},
        {REG_EXPAND_SZ, "%TEMP%\0"s, ""}, {REG_BINARY, "A,B", ""}};
    for (const auto& [type, stored, read] : cases) {
        Put("ViewBmp", type, stored);
        EXPECT_EQ(ReadViewBmp(*reg), read) << type << " " << stored;
    }
}

TEST_F(WinRegistryTest, ReadingAMissingKeyCreatesNothingWritingToItDoesNothingSavingCreatesIt) {
    EXPECT_EQ(GetCollections(*reg), "");
    EXPECT_FALSE(KeyExists(kOptionsKey));
    WriteSetting(*reg, kOptionsKey, "Current", std::string("Nature"), REG_SZ);
    EXPECT_FALSE(KeyExists(kOptionsKey));

    SaveOptions(*reg, 1, "Default,Nature", "Nature");
    EXPECT_EQ(Raw(kOptionsKey, "ViewBmp"), "1:YES\0"s);
    EXPECT_EQ(Raw(kOptionsKey, "Collections"), "1:Default,Nature\0"s);
    EXPECT_EQ(GetCurrentCollection(*reg), "Nature");
    SaveOptions(*reg, 2, "", "");
    EXPECT_EQ(Raw(kOptionsKey, "ViewBmp"), "1:NO\0"s);
    EXPECT_EQ(Raw(kOptionsKey, "Current"), "1:\0"s);

    EnsureRegKey(*reg, "Software\\VelumTest\\a\\b", kCurrentUser);
    EXPECT_TRUE(KeyExists("Software\\VelumTest\\a\\b"));
    HKey key = 0;
    ASSERT_EQ(reg->OpenKey(kCurrentUser, "Software\\VelumTest\\a\\b", KEY_SETTINGS_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(*reg, key, "d", REG_DWORD, std::int32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(*reg, key, "x", REG_BINARY, std::string("ab")), 0);
    RegVariant v = std::string("kept");
    EXPECT_EQ(ReadRegData(*reg, key, "missing", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<std::string>(v), "kept");
    reg->CloseKey(key);
    EXPECT_EQ(Raw("Software\\VelumTest\\a\\b", "d"), "4:\x2a\0\0\0"s);
    EXPECT_EQ(Raw("Software\\VelumTest\\a\\b", "x"), "<none>");
    EXPECT_EQ(reg->OpenKey(kCurrentUser, "Software\\VelumTest\\none", KEY_SETTINGS_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
}

TEST(WinFiles, WindowsFolderFileExistsAndPaths) {
    char expected[MAX_PATH];
    UINT n = GetWindowsDirectoryA(expected, MAX_PATH);
    EXPECT_EQ(GetWinDir(), std::string(expected, n) + "\\");
    EXPECT_TRUE(FileExists(GetWinDir() + "win.ini"));
    EXPECT_FALSE(FileExists(GetWinDir() + "no-such-file.cfg"));
    // Windows reports a missing folder as code 3, which counts as present; Wine reports 2, so
    // that case is not asserted here.
    EXPECT_FALSE(FileExists(GetWinDir() + std::string(200, 'x') + ".cfg"));
    EXPECT_EQ(JoinPath("C:\\", "a.bmp"), "C:\\a.bmp");
    EXPECT_EQ(JoinPath("C:\\Pictures", "a.bmp"), "C:\\Pictures\\a.bmp");
    EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND).find('\n'), std::string::npos);
}

TEST(WinFiles, RewriteReplacesExactlyUnderTheLockAndAFailureLeavesTheOldFile) {
    TempStore store;
    const std::string cfg = store.file("velum.cfg");
    EXPECT_EQ(OpenForReading(cfg), nullptr);
    auto write = [&](const std::string& text) {
        RewriteFile(cfg, "~velum.tmp", [&](std::istream*, std::ostream& out) { out << text; });
    };
    write("one\r\n");
    std::string big(300000, 'b');
    RewriteFile(cfg, "~velum.tmp", [&](std::istream* old, std::ostream& out) {
        ASSERT_NE(old, nullptr);
        std::ostringstream copy;
        copy << old->rdbuf();
        EXPECT_EQ(copy.str(), "one\r\n");
        out << big;
    });
    EXPECT_TRUE(ReadWholeFile(cfg) == big);
    EXPECT_THROW(RewriteFile(cfg, "~velum.tmp",
                             [](std::istream*, std::ostream& out) {
                                 out << "half";
                                 throw std::runtime_error("disk full");
                             }),
                 IoFailure);
    EXPECT_TRUE(ReadWholeFile(cfg) == big);
    EXPECT_FALSE(FileExists(store.file("~velum.tmp")));
    EXPECT_TRUE(FileExists(store.file("~velum.lock")));

    // A read-only file stays read-only: Windows refuses to replace it, which is reported; Wine
    // replaces it.
    SetFileAttributesA(cfg.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    try {
        write("x");
        EXPECT_TRUE(ReadWholeFile(cfg) == "x");
    } catch (const IoFailure&) {
        EXPECT_TRUE(ReadWholeFile(cfg) == big);
    }
    EXPECT_EQ(GetFileAttributesA(cfg.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
    EXPECT_FALSE(FileExists(store.file("~velum.tmp")));
    SetFileAttributesA(cfg.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A folder where the file should be is reported, never replaced.
    std::filesystem::remove(cfg);
    std::filesystem::create_directory(cfg);
    EXPECT_THROW(OpenForReading(cfg), IoFailure);
    EXPECT_THROW(write("x"), IoFailure);
    EXPECT_TRUE(std::filesystem::is_directory(cfg));
}

TEST(WinFolders, DrivesFoldersAndBitmapsInAnyLetterCase) {
    TempStore store;
    const std::string pics = store.root() + "\\pics";
    for (const char* name : {"b.BMP", "a.bmp", "c.txt", "sub\\d.bmp"})
        WriteWholeFile(pics + "\\" + name, "x");
    SetFileAttributesA((pics + "\\a.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ListBitmapFiles(pics), (std::vector<std::string>{"b.BMP"}));
    EXPECT_EQ(ListSubfolders(pics), (std::vector<std::string>{"sub"}));
    EXPECT_THROW(ListSubfolders(pics + "\\none"), IoFailure);

    auto drives = ListVolumes();
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
    EXPECT_EQ(VolumeOf("C:\\Pictures\\a.bmp", drives), "C:\\");
    EXPECT_EQ(NormalizeFolder("C:/Pictures//x\\..\\"), "C:\\Pictures");
    EXPECT_EQ(NormalizeFolder("C:\\"), "C:\\");
    EXPECT_EQ(NormalizeFolder("c:\\Pictures\\"), "C:\\Pictures");
    EXPECT_EQ(NormalizeFolder("Pictures"), JoinPath(NormalizeFolder(CurrentFolder()), "Pictures"));
    EXPECT_TRUE(IsVolumeQualified("C:\\Pictures"));
    EXPECT_FALSE(IsVolumeQualified("Pictures"));

    // The form's browser follows a bitmap's folder on its drive.
    MemoryRegistry reg;
    FakeDialogs dialogs;
    frmWallPaper form(reg, dialogs);
    form.InitBrowser();
    form.NavigateToBmp(pics + "\\sub\\d.bmp");
    EXPECT_EQ(form.Dir1.Path(), NormalizeFolder(pics + "\\sub"));
    EXPECT_EQ(form.filWinBmps.items(), (std::vector<std::string>{"d.bmp"}));
    EXPECT_EQ(form.Drive1.Drive(), VolumeOf(form.Dir1.Path(), form.Drive1.volumes));
}

TEST(WinDateTime, TheLocaleFormOfTheSystemConversionsAndIsoFromLinux) {
    const DateTime evening{2026, 12, 6, 19, 4, 5};
    // Wine's default user locale here is English (United States).
    EXPECT_EQ(DateTimeToStoredText(evening), "12/6/2026 7:04:05 PM");
    EXPECT_EQ(DateTimeFromText("12/6/2026 7:04:05 PM"), evening);
    EXPECT_EQ(DateTimeFromText("2026-12-06 19:04:05"), evening);
    EXPECT_EQ(DateTimeFromText("6/12/98 4:37:38 PM"), (DateTime{1998, 6, 12, 16, 37, 38}));
    EXPECT_EQ(DateTimeFromText(DateTimeToStoredText(ZeroDate())), ZeroDate());
    EXPECT_EQ(DateTimeFromText("not a date"), std::nullopt);
}

TEST(WinLaunch, AMissingProgramIsNotStarted) {
    EXPECT_FALSE(StartProgram("C:\\no-such-folder\\MSINFO32.EXE"));
    EXPECT_TRUE(StartProgram(GetWinDir() + "system32\\hostname.exe"));
}
