#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;
using velum::test::MemoryRegistry;

TEST(ReadSetting, RemovesOneTrailingNulReadsDwordsAsNumbersAndOtherTypesAsEmpty) {
    const std::tuple<std::uint32_t, std::string, std::string> cases[] = {
        {REG_SZ, "YES\0"s, "YES"},       {REG_SZ, "YES", "YES"},
        {REG_SZ, "YES\0\0"s, "YES\0"s},  {REG_SZ, "\0"s, ""},
        {REG_DWORD, "\x05\0\0\0"s, "5"}, {REG_DWORD, "\xff\xff\xff\xff", "-1"},
        {REG_EXPAND_SZ, "A,B\0"s, ""},   {REG_BINARY, "A,B", ""}};
    MemoryRegistry reg;
    for (const auto& [type, stored, read] : cases) {
        reg.Put(kOptionsKey, "ViewBmp", type, stored);
        EXPECT_EQ(ReadViewBmp(reg), read) << stored;
    }
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(ReadSetting, MissingKeyReadsEmptyWithoutCreatingIt) {
    MemoryRegistry reg;
    EXPECT_EQ(GetCurrentCollection(reg), "");
    EXPECT_EQ(GetCollections(reg), "");
    EXPECT_FALSE(reg.HasKey(kOptionsKey));
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(RegData, UnknownTypesAreLeftAloneAndTextIsWrittenWithOneNul) {
    MemoryRegistry reg;
    reg.Put("K", "bin", REG_BINARY, "xy");
    HKey key = 0;
    ASSERT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "K", KEY_SETTINGS_ACCESS, &key), ERROR_SUCCESS);
    RegVariant v = std::string("kept");
    EXPECT_EQ(ReadRegData(reg, key, "bin", v), -1);
    EXPECT_EQ(ReadRegData(reg, key, "missing", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<std::string>(v), "kept");
    EXPECT_EQ(WriteRegData(reg, key, "n", REG_SZ, std::int32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(reg, key, "d", REG_DWORD, std::int32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(WriteRegData(reg, key, "x", REG_BINARY, std::string("ab")), 0);
    reg.CloseKey(key);
    EXPECT_EQ(reg.Raw("K", "n"), "42\0"s);
    EXPECT_EQ(reg.Raw("K", "d"), "\x2a\0\0\0"s);
    EXPECT_EQ(reg.Raw("K", "x"), "<no value>");
}

TEST(WriteSetting, MissingKeyWritesNothingAndSaveOptionsCreatesItAndWritesAllThree) {
    MemoryRegistry reg;
    WriteSetting(reg, "Control Panel\\desktop", "TileWallpaper", std::string("1"), REG_SZ);
    EXPECT_FALSE(reg.HasKey("Control Panel\\desktop"));
    SaveOptions(reg, 1, "Default,Nature", "Nature");
    EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), "YES\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Default,Nature\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "Nature\0"s);
    SaveOptions(reg, 2, "", ""); // a greyed box is not a yes; empty texts are a lone NUL
    EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), "NO\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "\0"s);
    EXPECT_EQ(reg.openHandles(), 0);
}
