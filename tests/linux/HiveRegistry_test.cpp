// The registry over hive files. How values are written and read back is tested on HiveFile.
#include "common/HiveRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <sys/stat.h>

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
        EXPECT_EQ(reg_->CreateKey(reg::kCurrentUser, sub, reg::kSettingsAccess, &key), 0) << sub;
        return key;
    }
    std::int32_t Set(HKey key, const std::string& name, const std::string& v) {
        return reg_->SetValue(key, name, reg::kSz, reinterpret_cast<const unsigned char*>(v.data()),
                              static_cast<std::uint32_t>(v.size()));
    }
    std::string Get(HKey key, const std::string& name) {
        unsigned char data[256];
        std::uint32_t size = sizeof data;
        const std::int32_t rc = reg_->QueryValue(key, name, nullptr, data, &size);
        return rc ? "<error " + std::to_string(rc) + ">" : std::string(data, data + size);
    }

    TempStore store_;
    std::unique_ptr<Registry> reg_ = std::make_unique<HiveRegistry>(UserPath(), "");
};

TEST_F(HiveRegistryTest, NamesIgnoreCaseAndParentsExistWithoutSections) {
    ASSERT_EQ(Set(Create("Panel\\desktop"), "Wallpaper", "a\0"s), reg::kSuccess);
    HKey other = 0;
    ASSERT_EQ(reg_->OpenKey(reg::kCurrentUser, "PANEL\\Desktop", 0, &other), reg::kSuccess);
    ASSERT_EQ(Set(other, "WALLPAPER", "b\0"s), reg::kSuccess);
    EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, "Pan", 0, &other), reg::kFileNotFound);

    const std::string before = ReadWholeFile(UserPath());
    HKey parent = Create("Panel"); // exists through its child: nothing to write
    EXPECT_EQ(ReadWholeFile(UserPath()), before);
    EXPECT_EQ(reg_->OpenKey(parent, "Desktop", 0, &other), reg::kSuccess);
    ASSERT_EQ(Set(parent, "Top", "YES"), reg::kSuccess); // the bytes as given, without a NUL
    EXPECT_EQ(
        ReadWholeFile(UserPath()),
        CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Panel\\desktop]", "\"Wallpaper\"=\"b\"", "",
                  "[HKEY_CURRENT_USER\\Panel]", "\"Top\"=hex(1):59,45,53"}));
}

TEST_F(HiveRegistryTest, ARewriteThatChangesNothingLeavesTheFileUntouched) {
    HKey key = Create(kOptions);
    ASSERT_EQ(Set(key, "Current", "Nature"s + '\0'), 0);
    const auto before = fs::last_write_time(UserPath());
    struct stat first {};
    ::stat(UserPath().c_str(), &first);

    EXPECT_EQ(Set(key, "Current", "Nature"s + '\0'), 0); // the same data again
    Create(kOptions);                                    // a key that exists already
    struct stat second {};
    ::stat(UserPath().c_str(), &second);
    EXPECT_EQ(second.st_ino, first.st_ino); // a rewrite would have renamed a new file over it
    EXPECT_EQ(fs::last_write_time(UserPath()), before);
    EXPECT_FALSE(fs::exists(store_.file("~user.reg.tmp")));
}

TEST_F(HiveRegistryTest, Win32ReturnCodesAndNothingWrittenForMissingKeysOrUnreadableHives) {
    HKey key = 1, options = Create(kOptions);
    ASSERT_EQ(Set(options, "ViewBmp", "YES\0"s), reg::kSuccess);
    char buffer[9] = "xxxxxxxx";
    for (std::uint32_t room : {3u, 5u}) {
        std::uint32_t size = room;
        EXPECT_EQ(reg_->QueryValue(options, "ViewBmp", nullptr,
                                   reinterpret_cast<unsigned char*>(buffer), &size),
                  room == 3 ? reg::kMoreData : reg::kSuccess);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(std::string(buffer, 8), room == 5 ? "YES\0xxxx"s : "xxxxxxxx") << room;
    }
    const std::string other = CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Elsewhere]"});
    WriteWholeFile(UserPath(), other); // another program removes the open key
    EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, kOptions, 0, &key), reg::kFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(Get(options, "ViewBmp"), "<error 2>");
    EXPECT_EQ(Set(options, "ViewBmp", "NO\0"s), reg::kFileNotFound);
    EXPECT_EQ(ReadWholeFile(UserPath()), other);
    EXPECT_EQ(reg_->CloseKey(options), reg::kSuccess);
    EXPECT_EQ(reg_->CloseKey(options), reg::kInvalidHandle);
    EXPECT_EQ(Set(options, "x", "1\0"s), reg::kInvalidHandle);

    fs::remove(UserPath());
    WriteWholeFile(UserPath() + "/inside", "keep"); // a folder cannot be read even by root
    EXPECT_THROW(Set(reg::kCurrentUser, "x", "1\0"s), IoFailure);
    EXPECT_EQ(ReadWholeFile(UserPath() + "/inside"), "keep");
}

// Read failures are what velumspin and the window tell; such a hive holds no key.
TEST_F(HiveRegistryTest, AnUnreadableUserHiveSaysWhyAndHoldsNothingWhereAMissingOneIsSimplyEmpty) {
    EXPECT_EQ(reg_->ReadFailure(), ""); // no file yet: a first run
    WriteWholeFile(UserPath(), "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Velumor\\Options]\n");
    EXPECT_EQ(reg_->ReadFailure(), "");
    const std::pair<std::function<void()>, std::string> unreadable[] = {
        {[&] { WriteWholeFile(UserPath() + "/inside", ""); }, "Is a directory"},
        {[&] { fs::create_symlink(UserPath(), UserPath()); }, "Too many levels of symbolic links"},
        {[&] { ::mkfifo(UserPath().c_str(), 0600); }, "not a regular file"}};
    for (const auto& [make, why] : unreadable) {
        fs::remove_all(UserPath());
        make();
        EXPECT_EQ(reg_->ReadFailure(), "Cannot read " + UserPath() + ": " + why);
        HKey key = 1;
        EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, kOptions, 0, &key), reg::kFileNotFound) << why;
    }
}

TEST_F(HiveRegistryTest, PlatformMachineHiveComesFromXdgFoldersAndIsReadOnly) {
    const char* was = std::getenv("XDG_CONFIG_DIRS");
    const std::string saved = was ? was : "", first = store_.root() + "/1", second = first + "2";
    fs::create_directories(first + "/velumor");
    WriteWholeFile(second + "/velumor/machine.reg", "[HKEY_LOCAL_MACHINE\\Velumor]\n@=\"yes\"");
    setenv("XDG_CONFIG_DIRS", ("relative::" + first + ":" + second + "/").c_str(), 1);
    EXPECT_EQ(MachineHivePath(), second + "/velumor/machine.reg");
    reg_ = CreatePlatformRegistry();
    HKey key = 0, made = 1;
    ASSERT_EQ(reg_->OpenKey(reg::kLocalMachine, "velumor", 0, &key), reg::kSuccess);
    EXPECT_EQ(Get(key, ""), "yes\0"s);
    EXPECT_EQ(Set(key, "", "no\0"s), reg::kAccessDenied);
    EXPECT_EQ(reg_->CreateKey(reg::kLocalMachine, "New", 0, &made), reg::kAccessDenied);
    EXPECT_EQ(made, 0u);
    EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, "Velumor", 0, &key), reg::kFileNotFound);
    setenv("XDG_CONFIG_DIRS", first.c_str(), 1);
    EXPECT_EQ(MachineHivePath(), "");
    was ? setenv("XDG_CONFIG_DIRS", saved.c_str(), 1) : unsetenv("XDG_CONFIG_DIRS");
}

} // namespace
} // namespace velum
