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
    // The result code, the size given back and the `room` bytes of x's QueryValue wrote into.
    std::string Get(HKey key, const std::string& name, std::uint32_t room = 8) {
        std::string data(room, 'x');
        const std::int32_t rc = reg_->QueryValue(
            key, name, nullptr, reinterpret_cast<unsigned char*>(data.data()), &room);
        return std::to_string(rc) + " " + std::to_string(room) + " " + data;
    }
    TempStore store_;
    std::unique_ptr<Registry> reg_ = std::make_unique<HiveRegistry>(UserPath(), "");
};

TEST_F(HiveRegistryTest, NamesIgnoreCaseParentsExistWithoutSectionsAndNoChangeIsNoRewrite) {
    ASSERT_EQ(Set(Create("Panel\\desktop"), "Wallpaper", "a\0"s), reg::kSuccess);
    fs::create_hard_link(UserPath(), store_.file("same"));
    HKey other = 0, parent = Create("Panel"); // exists through its child: nothing to write
    ASSERT_EQ(reg_->OpenKey(reg::kCurrentUser, "PANEL\\Desktop", 0, &other), reg::kSuccess);
    ASSERT_EQ(Set(other, "WALLPAPER", "a\0"s), reg::kSuccess); // the same data again
    EXPECT_TRUE(fs::equivalent(UserPath(), store_.file("same"))) << "a rewrite renames a new file";
    ASSERT_EQ(Set(other, "WALLPAPER", "b\0"s), reg::kSuccess);
    EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, "Pan", 0, &other), reg::kFileNotFound);
    EXPECT_EQ(reg_->OpenKey(parent, "Desktop", 0, &other), reg::kSuccess);
    ASSERT_EQ(Set(parent, "Top", "YES"), reg::kSuccess); // the bytes as given, without a NUL
    EXPECT_EQ(
        ReadWholeFile(UserPath()),
        CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Panel\\desktop]", "\"Wallpaper\"=\"b\"", "",
                  "[HKEY_CURRENT_USER\\Panel]", "\"Top\"=hex(1):59,45,53"}));
}

TEST_F(HiveRegistryTest, AKeyRemovedOrAnUnreadableHiveGivesWin32CodesSaysWhyAndIsNotRewritten) {
    EXPECT_EQ(reg_->ReadFailure(), ""); // no file yet: a first run
    HKey key = Create(kOptions);
    ASSERT_EQ(Set(key, "ViewBmp", "YES\0"s), reg::kSuccess);
    EXPECT_EQ(Get(key, "ViewBmp", 3), std::to_string(reg::kMoreData) + " 4 xxx");
    const std::string other = CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Elsewhere]"});
    WriteWholeFile(UserPath(), other);
    EXPECT_EQ(Get(key, "ViewBmp"), "2 8 xxxxxxxx");
    EXPECT_EQ(Set(key, "ViewBmp", "NO\0"s), reg::kFileNotFound);
    EXPECT_EQ(ReadWholeFile(UserPath()), other);
    EXPECT_EQ(reg_->CloseKey(key), reg::kSuccess);
    EXPECT_EQ(Set(key, "x", "1\0"s), reg::kInvalidHandle);

    // What velumspin and the window tell; such a hive holds no key.
    const std::pair<std::function<void()>, std::string> unreadable[] = {
        {[&] { WriteWholeFile(UserPath() + "/inside", ""); }, "Is a directory"}, // even for root
        {[&] { fs::create_symlink(UserPath(), UserPath()); }, "Too many levels of symbolic links"},
        {[&] { ::mkfifo(UserPath().c_str(), 0600); }, "not a regular file"}};
    for (const auto& [make, why] : unreadable) {
        fs::remove_all(UserPath());
        make();
        EXPECT_EQ(reg_->ReadFailure(), "Cannot read " + UserPath() + ": " + why);
        EXPECT_EQ(reg_->OpenKey(reg::kCurrentUser, kOptions, 0, &key), reg::kFileNotFound) << why;
        EXPECT_THROW(Set(reg::kCurrentUser, "x", "1\0"s), IoFailure) << why;
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(UserPath()))) << why;
    }
}

TEST_F(HiveRegistryTest, PlatformMachineHiveComesFromXdgFoldersAndIsReadOnly) {
    const char* was = std::getenv("XDG_CONFIG_DIRS");
    const std::string saved = was ? was : "", first = store_.root() + "/1", second = first + "2";
    fs::create_directories(first + "/velumor");
    WriteWholeFile(second + "/velumor/machine.reg", "[HKEY_LOCAL_MACHINE\\Velumor]\n@=\"yes\"");
    setenv("XDG_CONFIG_DIRS", ("relative::" + first + ":" + second + "/").c_str(), 1);
    reg_ = CreatePlatformRegistry();
    HKey key = 0;
    ASSERT_EQ(reg_->OpenKey(reg::kLocalMachine, "velumor", 0, &key), reg::kSuccess);
    EXPECT_EQ(Get(key, ""), "0 4 yes\0xxxx"s);
    EXPECT_EQ(Set(key, "", "no\0"s), reg::kAccessDenied);
    EXPECT_EQ(reg_->CreateKey(reg::kLocalMachine, "New", 0, &key), reg::kAccessDenied);
    setenv("XDG_CONFIG_DIRS", first.c_str(), 1);
    EXPECT_EQ(MachineHivePath(), "");
    was ? setenv("XDG_CONFIG_DIRS", saved.c_str(), 1) : unsetenv("XDG_CONFIG_DIRS");
}

} // namespace
} // namespace velum
