#include "common/HiveRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "common/PlatformRegistry.h"
#include "support/TestSupport.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace velum {
namespace {

using namespace test;

constexpr char kOptions[] = "Software\\Velumor\\Options";

class HiveRegistryTest : public ::testing::Test {
  protected:
    std::string UserPath() const { return store_.file("user.reg"); }

    HKey Create(const std::string& sub) {
        HKey key = 0;
        EXPECT_EQ(reg_->CreateKey(HKEY_CURRENT_USER, sub, KEY_SETTINGS_ACCESS, &key), 0) << sub;
        return key;
    }
    std::int32_t Open(const std::string& sub, HKey* key, HKey root = HKEY_CURRENT_USER) {
        return reg_->OpenKey(root, sub, KEY_SETTINGS_ACCESS, key);
    }
    std::int32_t Set(HKey key, const std::string& name, std::uint32_t type,
                     const std::string& bytes) {
        return reg_->SetValue(key, name, type, reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<std::uint32_t>(bytes.size()));
    }
    // The stored bytes, or a marker naming the error code.
    std::string Get(HKey key, const std::string& name) {
        char data[256];
        std::uint32_t size = sizeof data;
        std::int32_t rc =
            reg_->QueryValue(key, name, nullptr, reinterpret_cast<unsigned char*>(data), &size);
        return rc ? "<error " + std::to_string(rc) + ">" : std::string(data, size);
    }

    TempStore store_;
    std::unique_ptr<Registry> reg_ = std::make_unique<HiveRegistry>(UserPath(), "");
};

TEST_F(HiveRegistryTest, QueryValueFollowsWin32BufferRules) {
    HKey key = Create(kOptions);
    ASSERT_EQ(Set(key, "Current", REG_SZ, "Nature\0"s), ERROR_SUCCESS);
    char buffer[9] = "xxxxxxxx";
    for (std::uint32_t room : {0u, 4u, 7u, 8u}) {
        std::uint32_t type = 0, size = room;
        auto* data = room ? reinterpret_cast<unsigned char*>(buffer) : nullptr;
        EXPECT_EQ(reg_->QueryValue(key, "Current", &type, data, &size),
                  room == 4 ? ERROR_MORE_DATA : ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, 7u) << room;
        EXPECT_EQ(std::string(buffer, 8), room >= 7 ? "Nature\0x"s : "xxxxxxxx") << room;
    }
    EXPECT_EQ(reg_->QueryValue(key, "Current", nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "Missing"), "<error 2>");
}

TEST_F(HiveRegistryTest, NamesIgnoreCaseAndParentsExistWithoutSections) {
    ASSERT_EQ(Set(Create("Control Panel\\desktop"), "Wallpaper", REG_SZ, "a\0"s), ERROR_SUCCESS);
    HKey other = 0;
    ASSERT_EQ(Open("CONTROL PANEL\\Desktop", &other), ERROR_SUCCESS);
    ASSERT_EQ(Set(other, "WALLPAPER", REG_SZ, "b\0"s), ERROR_SUCCESS);
    EXPECT_EQ(Get(Create("control panel\\DESKTOP"), "wallpaper"), "b\0"s);
    EXPECT_EQ(Open("Control", &other), ERROR_FILE_NOT_FOUND);

    const std::string before = ReadWholeFile(UserPath());
    HKey parent = Create("Control Panel");
    EXPECT_EQ(ReadWholeFile(UserPath()), before);
    EXPECT_EQ(Open("Desktop", &other, parent), ERROR_SUCCESS);
    ASSERT_EQ(Set(parent, "Top", REG_DWORD, "\x01\0\0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\desktop]",
                        "\"Wallpaper\"=\"b\"", "", "[HKEY_CURRENT_USER\\Control Panel]",
                        "\"Top\"=dword:00000001"}));
}

TEST_F(HiveRegistryTest, MissingKeysAndClosedHandlesWriteNothing) {
    HKey key = 1;
    EXPECT_EQ(Open(kOptions, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
    EXPECT_FALSE(fs::exists(UserPath()));

    HKey options = Create(kOptions);
    ASSERT_EQ(Set(options, "ViewBmp", REG_SZ, "YES\0"s), ERROR_SUCCESS);
    const std::string other = CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Elsewhere]"});
    WriteWholeFile(UserPath(), other); // another program removes the open key
    EXPECT_EQ(Get(options, "ViewBmp"), "<error 2>");
    EXPECT_EQ(Set(options, "ViewBmp", REG_SZ, "NO\0"s), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadWholeFile(UserPath()), other);
    fs::remove(UserPath());
    EXPECT_EQ(Set(options, "ViewBmp", REG_SZ, "NO\0"s), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(UserPath()));

    EXPECT_EQ(reg_->CloseKey(options), ERROR_SUCCESS);
    EXPECT_EQ(reg_->CloseKey(options), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(options, "x", REG_SZ, "1\0"s), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Open("Sub", &key, options), ERROR_INVALID_HANDLE);
}

TEST_F(HiveRegistryTest, RewriteKeepsWhatItReadInOrderAndStoresBytesExactly) {
    WriteWholeFile(UserPath(), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Other]\n\"Q\"=hex(b):01,00\n"
                               "garbage \x01\x02\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n"
                               "\"Current\"=\"Default\"\n\"Bad\"=hex:1z\n"
                               "[HKEY_CLASSES_ROOT\\.bmp]\n@=\"Paint.Picture\"\n");
    HKey options = 0;
    ASSERT_EQ(Open(kOptions, &options), ERROR_SUCCESS);
    ASSERT_EQ(Set(options, "current", REG_SZ, "My \"best\"\\lake.bmp\0"s), ERROR_SUCCESS);
    ASSERT_EQ(Set(options, "NoNul", REG_SZ, "YES"), ERROR_SUCCESS);
    ASSERT_EQ(Set(options, "", REG_BINARY, "\0\xff"s), ERROR_SUCCESS);
    ASSERT_EQ(Set(Create("Control Panel\\desktop"), "Tile", REG_SZ, "0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\Other]", "\"Q\"=hex(b):01,00", "",
                        "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]",
                        R"("Current"="My \"best\"\\lake.bmp")", "\"NoNul\"=hex(1):59,45,53",
                        "@=hex:00,ff", "", "[HKEY_CLASSES_ROOT\\.bmp]", "@=\"Paint.Picture\"", "",
                        "[HKEY_CURRENT_USER\\Control Panel\\desktop]", "\"Tile\"=\"0\""}));
}

TEST_F(HiveRegistryTest, UnreadableHiveReadsEmptyAndIsNeverRewritten) {
    WriteWholeFile(UserPath() + "/inside", "keep"); // a folder cannot be read even by root
    HKey key = 1;
    EXPECT_EQ(Open(kOptions, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "x"), "<error 2>");
    EXPECT_THROW(reg_->CreateKey(HKEY_CURRENT_USER, kOptions, 0, &key), IoFailure);
    try {
        Set(HKEY_CURRENT_USER, "x", REG_SZ, "1\0"s);
        ADD_FAILURE() << "SetValue did not throw";
    } catch (const IoFailure& e) {
        EXPECT_NE(std::string(e.what()).find(UserPath() + ": "), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("not rewritten"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadWholeFile(UserPath() + "/inside"), "keep");
}

TEST_F(HiveRegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    HKey key = Create(kOptions);
    auto writeAll = [&](const std::string& who) {
        for (int i = 0; i < 100; ++i)
            Set(key, who + std::to_string(i), REG_SZ, "x");
    };
    pid_t child = ::fork();
    if (child == 0) {
        [&]() noexcept { writeAll("Child"); }();
        ::_exit(0);
    }
    writeAll("Parent");
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    for (const std::string who : {"Child", "Parent"})
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(Get(key, who + std::to_string(i)), "x") << who << i;
}

TEST_F(HiveRegistryTest, PlatformMachineHiveComesFromXdgFoldersAndIsReadOnly) {
    const bool hadDirs = std::getenv("XDG_CONFIG_DIRS") != nullptr;
    const std::string saved = hadDirs ? std::getenv("XDG_CONFIG_DIRS") : "";
    const std::string first = store_.root() + "/first", second = store_.root() + "/second";
    fs::create_directories(first + "/velumor");
    WriteWholeFile(second + "/velumor/machine.reg",
                   "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\Velumor]\r\n\"Shared\"=\"yes\"\r\n");
    setenv("XDG_CONFIG_DIRS", ("relative::" + first + ":" + second + "/").c_str(), 1);
    EXPECT_EQ(MachineHivePath(), second + "/velumor/machine.reg");
    reg_ = CreatePlatformRegistry();
    HKey key = 0, made = 1;
    ASSERT_EQ(Open("software\\velumor", &key, HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(Get(key, "Shared"), "yes\0"s);
    EXPECT_EQ(Set(key, "Shared", REG_SZ, "no\0"s), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Set(HKEY_LOCAL_MACHINE, "x", REG_SZ, "no\0"s), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg_->CreateKey(HKEY_LOCAL_MACHINE, "Software\\New", 0, &made), ERROR_ACCESS_DENIED);
    EXPECT_EQ(made, 0u);
    EXPECT_EQ(reg_->CreateKey(HKEY_LOCAL_MACHINE, "Software", 0, &made), ERROR_SUCCESS);
    EXPECT_EQ(Open("Software\\Velumor", &key), ERROR_FILE_NOT_FOUND);
    Create(kOptions);
    EXPECT_EQ(ReadWholeFile(UserPath()),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]"}));

    setenv("XDG_CONFIG_DIRS", first.c_str(), 1);
    EXPECT_EQ(MachineHivePath(), "");
    hadDirs ? setenv("XDG_CONFIG_DIRS", saved.c_str(), 1) : unsetenv("XDG_CONFIG_DIRS");
}

} // namespace
} // namespace velum
