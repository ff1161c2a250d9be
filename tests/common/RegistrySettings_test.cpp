#include <gtest/gtest.h>

#include "common/RegistrySettings.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace std::string_literals;
using velum::test::MemoryRegistry;

TEST(ReadSetting, RemovesOneTrailingNulReadsDwordsAsNumbersAndOtherTypesAsEmpty) {
    const std::tuple<std::uint32_t, std::string, std::string> cases[] = {
        {reg::kSz, "YES\0"s, "YES"},
        {reg::kSz, "YES", "YES"},
        {reg::kSz, "YES\0\0"s, "YES\0"s},
        {reg::kDword, "\xff\xff\xff\xff", "-1"},
        {reg::kBinary, "A,B", ""}};
    MemoryRegistry reg;
    for (const auto& [type, stored, read] : cases) {
        reg.Put(kOptionsKey, "ViewBmp", type, stored);
        EXPECT_EQ(ReadViewBmp(reg), read) << stored;
    }
    EXPECT_EQ(reg.openHandles(), 0);
}

// A missing key is not created, SaveOptions creates it and writes all three.
TEST(WriteSetting, TextGetsOneNulDwordsFourBytesOtherTypesAndMissingKeysAreNotWritten) {
    MemoryRegistry reg;
    WriteSetting(reg, "Control Panel\\desktop", "TileWallpaper", std::string("1"), reg::kSz);
    EXPECT_EQ(reg.Raw("Control Panel\\desktop", ""), "<no key>");
    EnsureRegKey(reg, "K", reg::kCurrentUser);
    WriteSetting(reg, "K", "n", std::int32_t{42}, reg::kSz);
    WriteSetting(reg, "K", "d", std::int32_t{42}, reg::kDword);
    WriteSetting(reg, "K", "x", std::string("ab"), reg::kBinary);
    EXPECT_EQ(reg.Raw("K", "n"), "42\0"s);
    EXPECT_EQ(reg.Raw("K", "d"), "\x2a\0\0\0"s);
    EXPECT_EQ(reg.Raw("K", "x"), "<no value>");
    SaveOptions(reg, 1, "Default,Nature", "Nature");
    EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), "YES\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Collections"), "Default,Nature\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "Nature\0"s);
    SaveOptions(reg, 2, "", ""); // a greyed box is not a yes; an empty text is a lone NUL
    EXPECT_EQ(reg.Raw(kOptionsKey, "ViewBmp"), "NO\0"s);
    EXPECT_EQ(reg.Raw(kOptionsKey, "Current"), "\0"s);
    EXPECT_EQ(reg.openHandles(), 0);
}
