// The Windows halves on the real interfaces of Wine: advapi32, kernel32, oleaut32.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/DateTime.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"
#include "common/Launch.h"
#include "common/PlatformRegistry.h"
#include "common/RegistrySettings.h"
#include "common/WideText.h"
#include "mainwindow/frmWallPaper.h"
#include "store/CollectionStore.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;

namespace {

const char kTestKey[] = "Software\\VelumTest\\a\\b";

// The real registry, without the keys the tests touch.
struct WinRegistryTest : ::testing::Test {
    std::unique_ptr<Registry> reg = CreatePlatformRegistry();
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumor");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VelumTest");
    }
};

} // namespace

TEST_F(WinRegistryTest, ValuesWithNoneOneOrTwoNulsDwordsAndOtherTypesMissingKeysAndSaving) {
    // The bytes as stored, a NUL more or less; the reading rules are the portable code's.
    const std::tuple<DWORD, std::string, std::string> cases[] = {
        {REG_SZ, "YES", "YES"},
        {REG_SZ, "YES\0\0"s, "YES\0"s},
        {REG_DWORD, "\xff\xff\xff\xff", "-1"}};
    EXPECT_EQ(GetCollections(*reg), "");
    WriteSetting(*reg, kOptionsKey, "Current", std::string("Nature"), REG_SZ);
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Current"), "<no key>"); // reading and writing made none
    for (const auto& [type, stored, read] : cases) {
        PutValue(*reg, kOptionsKey, "ViewBmp", type, stored);
        EXPECT_EQ(ReadViewBmp(*reg), read) << type << " " << stored;
    }
    SaveOptions(*reg, 1, "Default,Nature", "");
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "ViewBmp"), "YES\0"s);
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Collections"), "Default,Nature\0"s);
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Current"), "\0"s);

    EnsureRegKey(*reg, kTestKey, reg::kCurrentUser);
    WriteSetting(*reg, kTestKey, "d", std::int32_t{42}, REG_DWORD);
    EXPECT_EQ(RawValue(*reg, kTestKey, "d"), "\x2a\0\0\0"s);
}

TEST(WinFiles, WindowsFolderFileExistsPathsAndStartingPrograms) {
    char expected[MAX_PATH];
    UINT n = GetWindowsDirectoryA(expected, MAX_PATH);
    EXPECT_EQ(GetWinDir(), std::string(expected, n) + "\\");
    EXPECT_TRUE(FileExists(GetWinDir() + "win.ini"));
    EXPECT_FALSE(FileExists(GetWinDir() + "no-such-file.cfg"));
    // Windows reports a missing folder as code 3, which counts as present; Wine reports 2, so
    // that case is not asserted here.
    EXPECT_FALSE(FileExists(GetWinDir() + std::string(200, 'x') + ".cfg"));
    EXPECT_FALSE(StartProgram("C:\\no-such-folder\\MSINFO32.EXE"));
    EXPECT_TRUE(StartProgram(GetWinDir() + "system32\\hostname.exe"));
}

TEST(WinFiles, RewriteReplacesExactlyUnderTheLockAndAFailureLeavesTheOldFile) {
    TempStore store;
    const std::string cfg = store.file("velum.cfg");
    EXPECT_EQ(OpenForReading(cfg), nullptr);
    auto write = [&](const std::string& text) {
        RewriteFile(cfg, "~velum.tmp", [&](std::istream*, std::ostream& out) { out << text; });
    };
    write("one\r\n");
    const std::string big(300000, 'b');
    RewriteFile(cfg, "~velum.tmp", [&](std::istream* old, std::ostream& out) {
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*old), {}), "one\r\n");
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
    EXPECT_TRUE(FileExists(store.file("~velum.lock")));

    // A folder where the file should be is reported, never replaced.
    std::filesystem::remove(cfg);
    std::filesystem::create_directory(cfg);
    EXPECT_THROW(OpenForReading(cfg), IoFailure);
    EXPECT_THROW(write("x"), IoFailure);
    EXPECT_TRUE(std::filesystem::is_directory(cfg));
}

TEST(WinFiles, ADeviceIsRefusedAtOnceAndAFileSeeksFromEachEnd) {
    try {
        OpenForReading("NUL"); // a character device, as CON is
        ADD_FAILURE() << "NUL opened";
    } catch (const IoFailure& e) {
        EXPECT_STREQ(e.what(), "Could not open NUL: not a regular file");
    }
    TempStore store;
    const std::string path = store.file("a.bmp");
    WriteWholeFile(path, std::string(100000, 'a') + "0123456789");
    auto in = OpenForReading(path);
    EXPECT_EQ(in->seekg(0, std::ios::end).tellg(), 100010);
    char got[4] = {};
    in->seekg(100003).read(got, 3);
    EXPECT_STREQ(got, "345");
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

    auto drives = ListVolumes();
    EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
    EXPECT_EQ(VolumeOf("C:\\Pictures\\a.bmp", drives), "C:\\");
    EXPECT_EQ(NormalizeFolder("c:/Pictures//x\\..\\"), "C:\\Pictures");
    EXPECT_EQ(NormalizeFolder("C:\\"), "C:\\");
    EXPECT_EQ(NormalizeFolder("Pictures"), JoinPath(NormalizeFolder(CurrentFolder()), "Pictures"));
    EXPECT_FALSE(IsVolumeQualified("Pictures"));
}

TEST(WinDateTime, TheLocaleFormOfTheSystemConversionsAndIsoFromLinux) {
    const DateTime evening{2026, 12, 6, 19, 4, 5};
    // Wine's default user locale here is English (United States).
    EXPECT_EQ(DateTimeToStoredText(evening), "12/6/2026 7:04:05 PM");
    EXPECT_EQ(DateTimeFromText("12/6/2026 7:04:05 PM"), evening);
    EXPECT_EQ(DateTimeFromText("2026-12-06 19:04:05"), evening);
    EXPECT_EQ(DateTimeFromText(DateTimeToStoredText(ZeroDate())), ZeroDate());
    EXPECT_EQ(DateTimeFromText("not a date"), std::nullopt);
}

// Letters outside Wine's ANSI code page (1252) in every name the programs pass to Windows.
TEST_F(WinRegistryTest, ACollectionNamedInAnyLettersIsSavedAsUtf8AndUtf16AndReadBack) {
    const std::string name = "Zoë 日本";
    TempStore store;
    TempFolder pictures;
    const std::string folder = pictures.root() + "\\Łódź";
    const std::string bmp = folder + "\\日本.bmp";
    std::filesystem::create_directory(std::filesystem::path(Widen(folder)));
    std::ofstream(std::filesystem::path(Widen(bmp)), std::ios::binary) << "BM";

    const std::vector<FolderEntry> listed = ListFolder(pictures.root());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "Łódź");
    EXPECT_EQ(ReadFolderContents(folder).bitmaps, std::vector<std::string>{"日本.bmp"});
    EXPECT_EQ(NormalizeFolder(folder + "\\.\\"), folder);
    EXPECT_NE(OpenForReading(bmp), nullptr);

    FakeDialogs dialogs;
    {
        frmWallPaper form(*reg, dialogs, {store.winDir(), folder});
        form.Form_Load();
        form.cmbCollection.SetText(name);
        form.lstRotateBmps.AddItem(bmp);
        form.mnuSave_Click();
    }
    EXPECT_NE(
        ReadWholeFile(store.file("velum.cfg")).find("\"Bmp\",\"" + name + "\",\"" + bmp + "\"\r\n"),
        std::string::npos);
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velumor\\Options", L"Current",
                           RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(stored, L"Zoë 日本");
    EXPECT_EQ(RawValue(*reg, kOptionsKey, "Collections"),
              "Default," + name + '\0'); // sizes in UTF-8 bytes
    frmWallPaper again(*reg, dialogs, {store.winDir(), folder});
    again.Form_Load();
    EXPECT_EQ(again.cmbCollection.Text(), name);
    EXPECT_EQ(again.lstRotateBmps.items(), std::vector<std::string>{bmp});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(WinFiles, AVelumCfgInTheAnsiCodePageReadsAsUtf8AndTheNextSaveWritesUtf8) {
    ASSERT_EQ(GetACP(), 1252u); // Wine's default, where E9 is é
    TempStore store;
    const std::string cfg = store.file("velum.cfg");
    WriteWholeFile(cfg, "\"Bmp\",\"Caf\xe9\",\"C:\\a.bmp\"\r\n");
    EXPECT_EQ(LoadCollectionFile(store.winDir(), "Café").collection.bitmaps,
              std::vector<std::string>{"C:\\a.bmp"});
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*OpenForReading(cfg)), {}),
              "\"Bmp\",\"Caf\xe9\",\"C:\\a.bmp\"\r\n"); // a bitmap's bytes stay bytes
    SaveCollectionFile(store.winDir(), "Zoë", {{"C:\\日.bmp"}, "0", "0", "1", "0", "0"});
    const std::string saved = ReadWholeFile(cfg);
    EXPECT_NE(saved.find("\"Bmp\",\"Café\",\"C:\\a.bmp\"\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Bmp\",\"Zoë\",\"C:\\日.bmp\"\r\n"), std::string::npos);
    // UTF-8 is read as it is: a second save changes nothing of the first.
    SaveCollectionFile(store.winDir(), "Zoë", {{"C:\\日.bmp"}, "0", "0", "1", "0", "0"});
    EXPECT_EQ(ReadWholeFile(cfg), saved);
}

TEST(WinDateTime, AmPmMarkersOutsideTheCodePageAreStoredAndReadBack) {
    const DateTime evening{2026, 12, 6, 19, 4, 5};
    const LCTYPE kinds[] = {LOCALE_S1159, LOCALE_S2359, LOCALE_STIMEFORMAT};
    wchar_t saved[3][80] = {};
    for (int i = 0; i < 3; ++i)
        GetLocaleInfoW(LOCALE_USER_DEFAULT, kinds[i], saved[i], 80);
    // Korean and Greek, as HKCU\Control Panel\International holds the person's choice. The
    // marker follows the time: Wine's VarDateFromStr reads no marker before it.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::string> locales[] = {
        {L"오전", L"오후", L"h:mm:ss tt", "7:04:05 오후"},
        {L"πμ", L"μμ", L"h:mm:ss tt", "7:04:05 μμ"}};
    for (const auto& [am, pm, form, evening_text] : locales) {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_S1159, am);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_S2359, pm);
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, form);
        const std::string text = DateTimeToStoredText(evening);
        EXPECT_NE(text.find(evening_text), std::string::npos) << text;
        EXPECT_EQ(DateTimeFromText(text), evening) << text;
    }
    for (int i = 0; i < 3; ++i)
        SetLocaleInfoW(LOCALE_USER_DEFAULT, kinds[i], saved[i]);
}
