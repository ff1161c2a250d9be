#include "common/HiveFile.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace std::string_literals;
using namespace velum;
using test::CrlfJoin;

static std::string Rewritten(const std::string& text) {
    return SerializeHive(ParseHive(text));
}

TEST(HiveFileTest, EveryValueFormIsWrittenExactlyAndReadBack) {
    const std::tuple<const char*, std::uint32_t, std::string, const char*> cases[] = {
        {"N", reg::kSz, "YES", R"("N"=hex(1):59,45,53)"},
        {"I", reg::kSz, "a\0b\0"s, R"("I"=hex(1):61,00,62,00)"},
        {"R", reg::kSz, "a\rb\0"s, R"("R"=hex(1):61,0d,62,00)"},
        {"D", reg::kDword, "\x2a\0\0\0"s, R"("D"=dword:0000002a)"},
        {"S", reg::kDword, "\x01\x02\x03", R"("S"=hex(4):01,02,03)"},
        {"B", reg::kBinary, "\x00\xFF\x10"s, R"("B"=hex:00,ff,10)"},
        {"T", 0x12345, "\x01", R"("T"=hex(12345):01)"},
        {"", reg::kSz, "\0"s, R"(@="")"},
        {"a\\b \"c\"", reg::kSz, "C:\\P \"b\"\0"s, R"("a\\b \"c\""="C:\\P \"b\"")"}};
    Hive hive;
    hive.AddKey("HKEY_CURRENT_USER\\Empty");
    HiveKey& key = hive.AddKey("HKEY_CURRENT_USER\\Options");
    std::vector<std::string> lines = {"REGEDIT4", "", "[HKEY_CURRENT_USER\\Empty]", "",
                                      "[HKEY_CURRENT_USER\\Options]"};
    for (const auto& [name, type, data, line] : cases) {
        key.SetValue(name, type, data);
        lines.push_back(line);
    }
    EXPECT_EQ(SerializeHive(hive), CrlfJoin(lines));
    // Every form is written differently, so reading back is exact when rewriting is.
    EXPECT_EQ(Rewritten(CrlfJoin(lines)), CrlfJoin(lines));
}

TEST(HiveFileTest, ReadsAWindowsExportInUtf16AndWritesItAsRegedit4) {
    // The text and the data of hex(2) and hex(7) are UTF-16LE; hex lists continue over lines.
    std::string file = "\xFF\xFE";
    for (char c : CrlfJoin({"Windows Registry Editor Version 5.00", "", "; exported on Windows",
                            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]", "@=\"caf\xE9\"",
                            "\"Pattern\"=hex(2):25,00,48,00,25,00,5c,00,\\", "  e9,00,00,00",
                            "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00", "",
                            "[-HKEY_CURRENT_USER\\Software\\Gone]", "\"Removed\"=-"}))
        file += {c, '\0'};
    EXPECT_EQ(Rewritten(file),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\Desktop]",
                        "@=\"caf\xC3\xA9\"", "\"Pattern\"=hex(2):25,48,25,5c,c3,a9,00",
                        "\"List\"=hex(7):61,00,62,00,00"}));
    // In a REGEDIT4 file the same data are plain bytes.
    EXPECT_EQ(Rewritten("REGEDIT4\n[K]\n\"P\"=hex(2):61,00,00,00\n"),
              CrlfJoin({"REGEDIT4", "", "[K]", "\"P\"=hex(2):61,00,00,00"}));
}

TEST(HiveFileTest, ReadsLooselyMergesRepeatsAndDropsWhatItCannotRead) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\n\x01 junk \0 here\n  [HKEY_CURRENT_USER\\Good]  \n"
        "\"A\" = \"1\"\t\n@ = dword:2a\n\"Bad\"=hex:zz,01\n\"Cut\"=\"abc\n"
        "[HKEY_CURRENT_USER\\Unclosed\n\"Lost\"=\"x\"\n"
        "[hkey_current_user\\GOOD]\n\"a\"=\"2\"\n\"After\"=\"3\"\n"s;
    EXPECT_EQ(Rewritten(text), CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Good]", "\"A\"=\"2\"",
                                         "@=dword:0000002a", "\"After\"=\"3\""}));
}
