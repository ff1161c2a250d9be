#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "support/TestSupport.h"

using namespace velum;
using velum::test::MemoryRegistry;

namespace {
const std::string kOpt = kOptionsKey;
std::string Bytes(const char* s, std::size_t n) {
    return std::string(s, n);
}
} // namespace

TEST(ReadSetting, RemovesExactlyOneTrailingNul) {
    MemoryRegistry reg;
    reg.Put(kOpt, "ViewBmp", REG_SZ, Bytes("YES\0", 4));
    EXPECT_EQ(ReadViewBmp(reg), "YES");
    reg.Put(kOpt, "ViewBmp", REG_SZ, "YES");
    EXPECT_EQ(ReadViewBmp(reg), "YES");
    reg.Put(kOpt, "ViewBmp", REG_SZ, Bytes("YES\0\0", 5));
    EXPECT_EQ(ReadViewBmp(reg), Bytes("YES\0", 4));
    reg.Put(kOpt, "ViewBmp", REG_SZ, Bytes("\0", 1));
    EXPECT_EQ(ReadViewBmp(reg), "");
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(ReadSetting, ReadsDwordAsDecimalAndOtherTypesAsEmpty) {
    MemoryRegistry reg;
    reg.Put(kOpt, "Collections", REG_DWORD, Bytes("\x05\0\0\0", 4));
    EXPECT_EQ(GetCollections(reg), "5");
    reg.Put(kOpt, "Collections", REG_DWORD, Bytes("\xff\xff\xff\xff", 4));
    EXPECT_EQ(GetCollections(reg), "-1");
    reg.Put(kOpt, "Collections", REG_EXPAND_SZ, Bytes("A,B\0", 4));
    EXPECT_EQ(GetCollections(reg), "");
    reg.Put(kOpt, "Collections", REG_BINARY, "A,B");
    EXPECT_EQ(GetCollections(reg), "");
}

TEST(ReadSetting, MissingKeyReadsEmptyWithoutCreatingIt) {
    MemoryRegistry reg;
    EXPECT_EQ(GetCurrentCollection(reg), "");
    EXPECT_EQ(GetCollections(reg), "");
    EXPECT_FALSE(reg.HasKey(kOpt));
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(ReadRegData, ReportsFailuresAndLeavesTheValueForUnknownTypes) {
    MemoryRegistry reg;
    reg.Put("K", "bin", REG_BINARY, "xy");
    HKey key = 0;
    ASSERT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "K", KEY_SETTINGS_ACCESS, &key), ERROR_SUCCESS);
    RegVariant v = std::string("kept");
    EXPECT_EQ(ReadRegData(reg, key, "bin", v), -1);
    EXPECT_EQ(std::get<std::string>(v), "kept");
    EXPECT_EQ(ReadRegData(reg, key, "missing", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<std::string>(v), "kept");
    reg.CloseKey(key);
}

TEST(WriteSetting, MissingKeyWritesNothingAndEnsureRegKeyMakesItWork) {
    MemoryRegistry reg;
    WriteSetting(reg, "Control Panel\\desktop", "TileWallpaper", std::string("1"), REG_SZ);
    EXPECT_FALSE(reg.HasKey("Control Panel\\desktop"));
    EnsureRegKey(reg, "Control Panel\\desktop", HKEY_CURRENT_USER);
    WriteSetting(reg, "Control Panel\\Desktop", "TileWallpaper", std::string("1"), REG_SZ);
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", "tilewallpaper"), Bytes("1\0", 2));
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(WriteRegData, WritesTextWithOneNulDwordAsFourBytesAndIgnoresOtherTypes) {
    MemoryRegistry reg;
    EnsureRegKey(reg, "K", HKEY_CURRENT_USER);
    HKey key = 0;
    reg.OpenKey(HKEY_CURRENT_USER, "K", KEY_SETTINGS_ACCESS, &key);
    EXPECT_EQ(WriteRegData(reg, key, "s", REG_SZ, std::string("ab")), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(reg, key, "n", REG_SZ, std::int32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(reg, key, "d", REG_DWORD, std::int32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(reg, key, "x", REG_BINARY, std::string("ab")), 0);
    reg.CloseKey(key);
    EXPECT_EQ(reg.Raw("K", "s"), Bytes("ab\0", 3));
    EXPECT_EQ(reg.Raw("K", "n"), Bytes("42\0", 3));
    EXPECT_EQ(reg.Raw("K", "d"), Bytes("\x2a\0\0\0", 4));
    EXPECT_EQ(reg.Raw("K", "x"), "<no value>");
}

TEST(SaveOptions, CreatesTheKeyAndWritesAllThreeValues) {
    MemoryRegistry reg;
    SaveOptions(reg, 1, "Default,Nature", "Nature");
    EXPECT_EQ(reg.Raw(kOpt, "ViewBmp"), Bytes("YES\0", 4));
    EXPECT_EQ(reg.Raw(kOpt, "Collections"), Bytes("Default,Nature\0", 15));
    EXPECT_EQ(reg.Raw(kOpt, "Current"), Bytes("Nature\0", 7));

    SaveOptions(reg, 2, "", ""); // a greyed box is not a yes
    EXPECT_EQ(reg.Raw(kOpt, "ViewBmp"), Bytes("NO\0", 3));
    EXPECT_EQ(reg.Raw(kOpt, "Collections"), Bytes("\0", 1));
    EXPECT_EQ(reg.Raw(kOpt, "Current"), Bytes("\0", 1));
    EXPECT_EQ(reg.openHandles(), 0);
}
