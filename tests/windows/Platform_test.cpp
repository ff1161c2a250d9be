// The Windows halves on the real interfaces of Wine: advapi32, kernel32, oleaut32.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

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
// A reader that holds the file a moment without sharing its deletion is waited for.
TEST(WinFiles, AFailedRewriteLeavesTheOldFileARewriteWaitsForAReaderSpecialFilesAreRefused) {
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
    HANDLE held = CreateFileW(Widen(cfg).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        Sleep(300);
        CloseHandle(held);
    });
    write("two\r\n", false);
    release.join();
    EXPECT_EQ(ReadWholeFile(cfg), "two\r\n");
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

// Letters outside Wine's ANSI code page (1252) in every name the programs pass to Windows.
TEST(WinRegistry, ACollectionNamedInAnyLettersIsSavedAsUtf8AndUtf16AndReadBack) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumor");
    std::unique_ptr<Registry> reg = CreatePlatformRegistry();
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
    frmWallPaper again(*reg, dialogs, {store.winDir(), folder});
    again.Form_Load();
    EXPECT_EQ(again.lstRotateBmps.items(), std::vector<std::string>{bmp}); // by the name read back
    EXPECT_TRUE(dialogs.messages.empty());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Velumor");
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

// Wine's default user locale here is English (United States).
TEST(WinDateTime, TheLocaleFormAndAmPmMarkersOutsideTheCodePageAreStoredAndReadBack) {
    const DateTime evening{2026, 12, 6, 19, 4, 5};
    EXPECT_EQ(DateTimeToStoredText(evening), "12/6/2026 7:04:05 PM");
    EXPECT_EQ(DateTimeFromText("12/6/2026 7:04:05 PM"), evening);
    EXPECT_EQ(DateTimeFromText("not a date"), std::nullopt);
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
