#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;
using velum::test::MemoryRegistry;

TEST(ReadSetting, RemovesOneTrailingNulReadsDwordsAsNumbersAndOtherTypesAsEmpty) {
    const std::tuple<std::uint32_t, std::string, std::string> cases[] = {
        {reg::kSz, "YES\0"s, "YES"},       {reg::kSz, "YES", "YES"},
        {reg::kSz, "YES\0\0"s, "YES\0"s},  {reg::kSz, "\0"s, ""},
        {reg::kDword, "\x05\0\0\0"s, "5"}, {reg::kDword, "\xff\xff\xff\xff", "-1"},
        {reg::kExpandSz, "A,B\0"s, ""},    {reg::kBinary, "A,B", ""}};
    MemoryRegistry reg;
    for (const auto& [type, stored, read] : cases) {
        reg.Put(kOptionsKey, "ViewBmp", type, stored);
        EXPECT_EQ(ReadViewBmp(reg), read) << stored;
    }
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST(RegData, UnknownTypesAreLeftAloneAndTextIsWrittenWithOneNul) {
    MemoryRegistry reg;
    reg.Put("K", "bin", reg::kBinary, "xy");
    HKey key = 0;
    ASSERT_EQ(reg.OpenKey(reg::kCurrentUser, "K", reg::kSettingsAccess, &key), reg::kSuccess);
    RegVariant v = std::string("kept");
    EXPECT_EQ(ReadRegData(reg, key, "bin", v), -1);
    EXPECT_EQ(ReadRegData(reg, key, "missing", v), reg::kFileNotFound);
    EXPECT_EQ(std::get<std::string>(v), "kept");
    EXPECT_EQ(WriteRegData(reg, key, "n", reg::kSz, std::int32_t{42}), reg::kSuccess);
    EXPECT_EQ(WriteRegData(reg, key, "d", reg::kDword, std::int32_t{42}), reg::kSuccess);
    EXPECT_EQ(WriteRegData(reg, key, "x", reg::kBinary, std::string("ab")), 0);
    reg.CloseKey(key);
    EXPECT_EQ(reg.Raw("K", "n"), "42\0"s);
    EXPECT_EQ(reg.Raw("K", "d"), "\x2a\0\0\0"s);
    EXPECT_EQ(reg.Raw("K", "x"), "<no value>");
}

TEST(WriteSetting, AMissingKeyIsNeitherReadNorWrittenAndSaveOptionsCreatesItAndWritesAllThree) {
    MemoryRegistry reg;
    EXPECT_EQ(GetCurrentCollection(reg), "");
    EXPECT_EQ(GetCollections(reg), "");
    EXPECT_FALSE(reg.HasKey(kOptionsKey));
    WriteSetting(reg, "Control Panel\\desktop", "TileWallpaper", std::string("1"), reg::kSz);
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
