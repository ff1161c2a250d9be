#include "common/HiveRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/PlatformRegistry.h"
#include "support/TestSupport.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace velum {
namespace {

using test::CrlfJoin;
using test::ReadWholeFile;
using test::WriteWholeFile;

constexpr char kOptions[] = "Software\\Velumor\\Options";

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        had_ = std::getenv(name) != nullptr;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class HiveRegistryTest : public ::testing::Test {
  protected:
    std::string UserPath() const { return store_.file("user.reg"); }
    std::string MachinePath() const { return store_.root() + "/machine.reg"; }

    HKey Create(const std::string& sub, HKey root = HKEY_CURRENT_USER) {
        HKey key = 0;
        EXPECT_EQ(reg_.CreateKey(root, sub, KEY_SETTINGS_ACCESS, &key), ERROR_SUCCESS) << sub;
        return key;
    }
    std::int32_t Open(const std::string& sub, HKey* key, HKey root = HKEY_CURRENT_USER) {
        return reg_.OpenKey(root, sub, KEY_SETTINGS_ACCESS, key);
    }
    std::int32_t Set(HKey key, const std::string& name, std::uint32_t type,
                     const std::string& bytes) {
        return reg_.SetValue(key, name, type, reinterpret_cast<const unsigned char*>(bytes.data()),
                             static_cast<std::uint32_t>(bytes.size()));
    }
    // The stored bytes, or a marker naming the error code.
    std::string Get(HKey key, const std::string& name, std::uint32_t* type = nullptr) {
        return Get(reg_, key, name, type);
    }
    static std::string Get(Registry& reg, HKey key, const std::string& name,
                           std::uint32_t* type = nullptr) {
        std::uint32_t size = 0;
        std::int32_t rc = reg.QueryValue(key, name, type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return "<error " + std::to_string(rc) + ">";
        std::string bytes(size, '\0');
        rc = reg.QueryValue(key, name, type, reinterpret_cast<unsigned char*>(bytes.data()), &size);
        return rc == ERROR_SUCCESS ? bytes.substr(0, size) : "<error " + std::to_string(rc) + ">";
    }

    test::TempStore store_;
    HiveRegistry reg_{UserPath(), MachinePath()};
};

TEST_F(HiveRegistryTest, WritesEveryValueFormAndReadsItBack) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::string bytes;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"Path", REG_SZ, "/home/ann/My \"best\"\\lake.bmp\0"s,
         R"("Path"="/home/ann/My \"best\"\\lake.bmp")"},
        {"Empty", REG_SZ, "\0"s, R"("Empty"="")"},
        {"NoNul", REG_SZ, "YES", R"("NoNul"=hex(1):59,45,53)"},
        {"TwoNuls", REG_SZ, "YES\0\0"s, R"("TwoNuls"=hex(1):59,45,53,00,00)"},
        {"Break", REG_SZ, "a\nb\0"s, R"("Break"=hex(1):61,0a,62,00)"},
        {"Count", REG_DWORD, "\x2a\0\0\0"s, R"("Count"=dword:0000002a)"},
        {"Blob", REG_BINARY, "\x00\x7f\xff"s, R"("Blob"=hex:00,7f,ff)"},
        {"Expand", REG_EXPAND_SZ, "%HOME%\0"s, R"("Expand"=hex(2):25,48,4f,4d,45,25,00)"},
        {"Qword", 0xB, "\x01\0\0\0\0\0\0\0"s, R"("Qword"=hex(b):01,00,00,00,00,00,00,00)"},
        {"", REG_SZ, "def\0"s, R"(@="def")"},
    };
    HKey key = Create(kOptions);
    std::vector<std::string> lines = {"REGEDIT4", "",
                                      "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]"};
    for (const auto& c : cases) {
        ASSERT_EQ(Set(key, c.name, c.type, c.bytes), ERROR_SUCCESS) << c.name;
        lines.push_back(c.line);
    }
    EXPECT_EQ(ReadWholeFile(UserPath()), CrlfJoin(lines));

    HiveRegistry fresh(UserPath(), MachinePath());
    HKey again = 0;
    ASSERT_EQ(fresh.OpenKey(HKEY_CURRENT_USER, kOptions, KEY_SETTINGS_ACCESS, &again),
              ERROR_SUCCESS);
    for (const auto& c : cases) {
        std::uint32_t type = 0;
        EXPECT_EQ(Get(fresh, again, c.name, &type), c.bytes) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    EXPECT_FALSE(fs::exists(store_.file("~user.reg.tmp")));
}

TEST_F(HiveRegistryTest, QueryValueFollowsWin32BufferRules) {
    HKey key = Create(kOptions);
    ASSERT_EQ(Set(key, "Current", REG_SZ, "Nature\0"s), ERROR_SUCCESS);

    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(reg_.QueryValue(key, "Current", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);

    unsigned char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(reg_.QueryValue(key, "Current", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 4), "xxxx");

    unsigned char big[16] = {};
    size = sizeof big;
    EXPECT_EQ(reg_.QueryValue(key, "Current", nullptr, big, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(big), 7), "Nature\0"s);

    size = 7;
    EXPECT_EQ(reg_.QueryValue(key, "Current", nullptr, big, &size), ERROR_SUCCESS);
    EXPECT_EQ(reg_.QueryValue(key, "Current", nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(reg_.QueryValue(key, "Missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveRegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    HKey desk = Create("Control Panel\\desktop");
    ASSERT_EQ(Set(desk, "Wallpaper", REG_SZ, "a\0"s), ERROR_SUCCESS);
    HKey other = 0;
    ASSERT_EQ(Open("CONTROL PANEL\\Desktop", &other), ERROR_SUCCESS);
    ASSERT_EQ(Set(other, "WALLPAPER", REG_SZ, "b\0"s), ERROR_SUCCESS);
    HKey third = Create("control panel\\DESKTOP");
    EXPECT_EQ(Get(third, "wallpaper"), "b\0"s);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\desktop]",
                        "\"Wallpaper\"=\"b\""}));
}

TEST_F(HiveRegistryTest, ParentsOfAKeyExistWithoutSections) {
    Create(kOptions);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]"}));
    HKey software = 0;
    EXPECT_EQ(Open("Software", &software), ERROR_SUCCESS);
    EXPECT_NE(software, 0u);
    HKey options = 0;
    EXPECT_EQ(Open("Velumor\\OPTIONS", &options, software), ERROR_SUCCESS);
    HKey missing = 1;
    EXPECT_EQ(Open("Soft", &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, 0u);

    // Creating an implied parent writes nothing; a value on it gives it a section at the end.
    const std::string before = ReadWholeFile(UserPath());
    HKey velumor = Create("Software\\Velumor");
    EXPECT_EQ(ReadWholeFile(UserPath()), before);
    ASSERT_EQ(Set(velumor, "Top", REG_DWORD, "\x01\0\0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]", "",
                        "[HKEY_CURRENT_USER\\Software\\Velumor]", "\"Top\"=dword:00000001"}));
}

TEST_F(HiveRegistryTest, MissingKeysAreNeitherCreatedByReadsNorWritten) {
    HKey key = 1;
    EXPECT_EQ(Open(kOptions, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
    EXPECT_FALSE(fs::exists(UserPath()));

    // Another program removes the key while we hold it open.
    HKey options = Create(kOptions);
    ASSERT_EQ(Set(options, "ViewBmp", REG_SZ, "YES\0"s), ERROR_SUCCESS);
    const std::string other = CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Elsewhere]"});
    WriteWholeFile(UserPath(), other);
    EXPECT_EQ(Get(options, "ViewBmp"), "<error 2>");
    EXPECT_EQ(Set(options, "ViewBmp", REG_SZ, "NO\0"s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadWholeFile(UserPath()), other);

    fs::remove(UserPath());
    EXPECT_EQ(Set(options, "ViewBmp", REG_SZ, "NO\0"s), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(UserPath()));
}

TEST_F(HiveRegistryTest, HandlesAreOwnValuesAndCloseOnce) {
    HKey a = Create(kOptions);
    HKey b = Create(kOptions);
    EXPECT_NE(a, b);
    for (HKey h : {a, b}) {
        EXPECT_NE(h, 0u);
        EXPECT_NE(h, HKEY_CURRENT_USER);
        EXPECT_NE(h, HKEY_LOCAL_MACHINE);
    }
    EXPECT_EQ(reg_.CloseKey(a), ERROR_SUCCESS);
    EXPECT_EQ(reg_.CloseKey(a), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Get(a, "x"), "<error 6>");
    EXPECT_EQ(Set(a, "x", REG_SZ, "1\0"s), ERROR_INVALID_HANDLE);
    HKey sub = 1;
    EXPECT_EQ(Open("Sub", &sub, a), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sub, 0u);
    EXPECT_EQ(reg_.CreateKey(0x1234567, "Sub", 0, &sub), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Get(b, "x"), "<error 2>");
    EXPECT_EQ(reg_.CloseKey(b), ERROR_SUCCESS);
}

TEST_F(HiveRegistryTest, RewriteKeepsWhatItReadInOrderAndDropsTheRest) {
    WriteWholeFile(UserPath(), "REGEDIT4\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
                               "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
                               "garbage \x01\x02\n"
                               "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                               "\"Collections\"=\"Default,Nature\"\n"
                               "\"Bad\"=hex:1z\n"
                               "\"Current\"=\"Default\"\n"
                               "[HKEY_CLASSES_ROOT\\.bmp]\n"
                               "@=\"Paint.Picture\"\n");
    HKey options = 0;
    ASSERT_EQ(Open(kOptions, &options), ERROR_SUCCESS);
    ASSERT_EQ(Set(options, "current", REG_SZ, "Nature\0"s), ERROR_SUCCESS);
    ASSERT_EQ(Set(options, "ViewBmp", REG_SZ, "YES\0"s), ERROR_SUCCESS);
    HKey desk = Create("Control Panel\\desktop");
    ASSERT_EQ(Set(desk, "TileWallpaper", REG_SZ, "0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(
        ReadWholeFile(UserPath()),
        CrlfJoin({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\Software\\Other]",
                  "\"Q\"=hex(b):01,00,00,00,00,00,00,00", "",
                  "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]",
                  "\"Collections\"=\"Default,Nature\"", "\"Current\"=\"Nature\"",
                  "\"ViewBmp\"=\"YES\"", "", "[HKEY_CLASSES_ROOT\\.bmp]", "@=\"Paint.Picture\"", "",
                  "[HKEY_CURRENT_USER\\Control Panel\\desktop]", "\"TileWallpaper\"=\"0\""}));
}

TEST_F(HiveRegistryTest, ReadsAWindowsExportAndRewritesItAsRegedit4) {
    // "Windows Registry Editor Version 5.00" with a continued hex(2) value, in UTF-16LE + BOM.
    const std::string text = CrlfJoin({
        "Windows Registry Editor Version 5.00",
        "",
        "; saved on Windows",
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]",
        "@=\"desk\"",
        "\"Wallpaper\"=hex(2):43,00,3a,00,5c,00,\\",
        "  61,00,2e,00,62,00,6d,00,70,00,00,00",
    });
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    WriteWholeFile(UserPath(), utf16);

    HKey desk = 0;
    ASSERT_EQ(Open("Control Panel\\desktop", &desk), ERROR_SUCCESS);
    std::uint32_t type = 0;
    EXPECT_EQ(Get(desk, "Wallpaper", &type), "C:\\a.bmp\0"s);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(Get(desk, ""), "desk\0"s);

    ASSERT_EQ(Set(desk, "TileWallpaper", REG_SZ, "1\0"s), ERROR_SUCCESS);
    EXPECT_EQ(
        ReadWholeFile(UserPath()),
        CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\Desktop]", "@=\"desk\"",
                  "\"Wallpaper\"=hex(2):43,3a,5c,61,2e,62,6d,70,00", "\"TileWallpaper\"=\"1\""}));
}

TEST_F(HiveRegistryTest, UnreadableHiveReadsEmptyAndIsNeverOverwritten) {
    // A folder in its place cannot be read even by root.
    fs::create_directories(UserPath());
    WriteWholeFile(UserPath() + "/inside", "keep");

    HKey key = 1;
    EXPECT_EQ(Open(kOptions, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "x"), "<error 2>");
    EXPECT_THROW(reg_.CreateKey(HKEY_CURRENT_USER, kOptions, KEY_SETTINGS_ACCESS, &key), IoFailure);
    try {
        Set(HKEY_CURRENT_USER, "x", REG_SZ, "1\0"s);
        ADD_FAILURE() << "SetValue did not throw";
    } catch (const IoFailure& e) {
        EXPECT_NE(std::string(e.what()).find(UserPath()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("not rewritten"), std::string::npos) << e.what();
    }
    HKey root = 0;
    ASSERT_EQ(Open("", &root), ERROR_SUCCESS);
    EXPECT_THROW(Set(root, "x", REG_SZ, "1\0"s), IoFailure);

    EXPECT_TRUE(fs::is_directory(UserPath()));
    EXPECT_EQ(ReadWholeFile(UserPath() + "/inside"), "keep");
    EXPECT_FALSE(fs::exists(store_.file("~user.reg.tmp")));
}

TEST_F(HiveRegistryTest, MachineHiveIsReadOnly) {
    WriteWholeFile(MachinePath(),
                   CrlfJoin({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\Software\\Velumor]",
                             "\"Shared\"=\"yes\""}));
    HKey key = 0;
    ASSERT_EQ(Open("software\\velumor", &key, HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "Shared"), "yes\0"s);
    EXPECT_EQ(Set(key, "Shared", REG_SZ, "no\0"s), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Set(HKEY_LOCAL_MACHINE, "x", REG_SZ, "no\0"s), ERROR_ACCESS_DENIED);
    HKey made = 1;
    EXPECT_EQ(reg_.CreateKey(HKEY_LOCAL_MACHINE, "Software\\New", 0, &made), ERROR_ACCESS_DENIED);
    EXPECT_EQ(made, 0u);
    EXPECT_EQ(reg_.CreateKey(HKEY_LOCAL_MACHINE, "Software", 0, &made), ERROR_SUCCESS);
    // The user's hive is a different file: the same path there does not exist.
    EXPECT_EQ(Open("Software\\Velumor", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(UserPath()));

    HiveRegistry noMachine(UserPath(), "");
    EXPECT_EQ(noMachine.OpenKey(HKEY_LOCAL_MACHINE, "Software", 0, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveRegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kWrites = 100;
    Create(kOptions);
    auto writeAll = [&](const std::string& prefix) {
        HiveRegistry reg(UserPath(), MachinePath());
        HKey key = 0;
        if (reg.OpenKey(HKEY_CURRENT_USER, kOptions, 0, &key) != ERROR_SUCCESS)
            return false;
        for (int i = 0; i < kWrites; ++i) {
            std::string data = prefix + std::to_string(i) + '\0';
            if (reg.SetValue(key, prefix + std::to_string(i), REG_SZ,
                             reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<std::uint32_t>(data.size())) != ERROR_SUCCESS)
                return false;
        }
        return true;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = false;
        try {
            ok = writeAll("Child");
        } catch (...) {
        }
        _exit(ok ? 0 : 1);
    }
    EXPECT_TRUE(writeAll("Parent"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    HKey key = 0;
    ASSERT_EQ(Open(kOptions, &key), ERROR_SUCCESS);
    for (const std::string prefix : {"Child", "Parent"})
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(Get(key, prefix + std::to_string(i)), prefix + std::to_string(i) + '\0');
}

TEST(PlatformRegistryTest, HivePathsFollowTheXdgFolders) {
    test::TempStore store;
    EXPECT_EQ(UserHivePath(), GetWinDir() + "user.reg");

    const std::string first = store.root() + "/first";
    const std::string second = store.root() + "/second";
    WriteWholeFile(second + "/velumor/machine.reg", "REGEDIT4\r\n");
    fs::create_directories(first + "/velumor");
    {
        ScopedEnv dirs("XDG_CONFIG_DIRS", ("relative::" + first + ":" + second + "/").c_str());
        EXPECT_EQ(MachineHivePath(), second + "/velumor/machine.reg");
    }
    {
        ScopedEnv dirs("XDG_CONFIG_DIRS", first.c_str());
        EXPECT_EQ(MachineHivePath(), "");
    }
    {
        ScopedEnv dirs("XDG_CONFIG_DIRS", nullptr);
        std::string path = MachineHivePath();
        EXPECT_TRUE(path.empty() || path == "/etc/xdg/velumor/machine.reg") << path;
    }
}

TEST(PlatformRegistryTest, PlatformRegistryWritesTheUserHive) {
    test::TempStore store;
    auto reg = CreatePlatformRegistry();
    HKey key = 0;
    ASSERT_EQ(reg->CreateKey(HKEY_CURRENT_USER, kOptions, KEY_SETTINGS_ACCESS, &key),
              ERROR_SUCCESS);
    const std::string data = "YES\0"s;
    ASSERT_EQ(reg->SetValue(key, "ViewBmp", REG_SZ,
                            reinterpret_cast<const unsigned char*>(data.data()), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadWholeFile(store.file("user.reg")),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]",
                        "\"ViewBmp\"=\"YES\""}));
}

} // namespace
} // namespace velum
