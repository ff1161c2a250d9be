#include "common/HiveFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Registry.h"
#include "support/TestSupport.h"

using namespace std::string_literals;

namespace velum {
namespace {

using test::CrlfJoin;

constexpr char kKey[] = "HKEY_CURRENT_USER\\Software\\Velumor\\Options";

// The value under `key`, or a marker that fails any comparison with real data.
HiveValue ValueOf(const Hive& hive, const std::string& key, const std::string& name) {
    const HiveKey* k = hive.FindKey(key);
    if (!k)
        return {"<no key>", 0xFFFFFFFF, ""};
    const HiveValue* v = k->FindValue(name);
    return v ? *v : HiveValue{"<no value>", 0xFFFFFFFF, ""};
}

// UTF-16LE bytes with a byte-order mark, from ASCII-or-UTF-8 text limited to the BMP.
std::string Utf16File(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        size_t len = 1;
        if (c >= 0xE0) {
            cp = (c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if (c >= 0xC0) {
            cp = (c & 0x1F) << 6 | (utf8[i + 1] & 0x3F);
            len = 2;
        }
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
        i += len;
    }
    return out;
}

struct FormCase {
    const char* label;
    std::uint32_t type;
    std::string data;
    std::string line;
};

TEST(HiveFileTest, EveryValueFormIsWrittenExactlyAndReadBack) {
    const std::vector<FormCase> cases = {
        {"Quoted", REG_SZ, "C:\\Pics \"best\"\0"s, R"("Quoted"="C:\\Pics \"best\"")"},
        {"Empty", REG_SZ, "\0"s, R"("Empty"="")"},
        {"NoNul", REG_SZ, "YES", R"("NoNul"=hex(1):59,45,53)"},
        {"TwoNuls", REG_SZ, "ab\0\0"s, R"("TwoNuls"=hex(1):61,62,00,00)"},
        {"InnerNul", REG_SZ, "a\0b\0"s, R"("InnerNul"=hex(1):61,00,62,00)"},
        {"Break", REG_SZ, "a\r\nb\0"s, R"("Break"=hex(1):61,0d,0a,62,00)"},
        {"LoneLf", REG_SZ, "a\nb\0"s, R"("LoneLf"=hex(1):61,0a,62,00)"},
        {"NoBytes", REG_SZ, "", R"("NoBytes"=hex(1):)"},
        {"Dword", REG_DWORD, "\x2a\0\0\0"s, R"("Dword"=dword:0000002a)"},
        {"BigDword", REG_DWORD, "\x78\x56\x34\xF2", R"("BigDword"=dword:f2345678)"},
        {"ShortDword", REG_DWORD, "\x01\x02\x03", R"("ShortDword"=hex(4):01,02,03)"},
        {"Binary", REG_BINARY, "\x00\xFF\x10"s, R"("Binary"=hex:00,ff,10)"},
        {"EmptyBinary", REG_BINARY, "", R"("EmptyBinary"=hex:)"},
        {"Expand", REG_EXPAND_SZ, "%HOME%\0"s, R"("Expand"=hex(2):25,48,4f,4d,45,25,00)"},
        {"Multi", REG_MULTI_SZ, "a\0b\0\0"s, R"("Multi"=hex(7):61,00,62,00,00)"},
        {"Qword", 0xB, "\x01\0\0\0\0\0\0\x80"s, R"("Qword"=hex(b):01,00,00,00,00,00,00,80)"},
        {"None", 0, "\x07", R"("None"=hex(0):07)"},
        {"Big type", 0x12345, "\x01", R"("Big type"=hex(12345):01)"},
        {"", REG_SZ, "default\0"s, R"(@="default")"},
        {"a\\b \"c\"", REG_SZ, "x\0"s, R"("a\\b \"c\""="x")"},
    };
    Hive hive;
    HiveKey& key = hive.AddKey(kKey);
    std::vector<std::string> lines = {"REGEDIT4", "", "["s + kKey + "]"};
    for (const auto& c : cases) {
        key.SetValue(c.label, c.type, c.data);
        lines.push_back(c.line);
    }
    const std::string expected = CrlfJoin(lines);
    EXPECT_EQ(SerializeHive(hive), expected);

    Hive back = ParseHive(expected);
    ASSERT_EQ(back.keys.size(), 1u);
    ASSERT_EQ(back.keys[0].values.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const HiveValue& v = back.keys[0].values[i];
        EXPECT_EQ(v.name, cases[i].label);
        EXPECT_EQ(v.type, cases[i].type) << cases[i].label;
        EXPECT_EQ(v.data, cases[i].data) << cases[i].label;
    }
}

TEST(HiveFileTest, SectionsAreSeparatedByBlankLinesAndEmptyKeysKept) {
    Hive hive;
    hive.AddKey("HKEY_CURRENT_USER\\Empty");
    hive.AddKey("HKEY_CURRENT_USER\\Control Panel\\desktop")
        .SetValue("TileWallpaper", REG_SZ, "0\0"s);
    EXPECT_EQ(SerializeHive(hive),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Empty]", "",
                        "[HKEY_CURRENT_USER\\Control Panel\\desktop]", "\"TileWallpaper\"=\"0\""}));
    EXPECT_EQ(SerializeHive(Hive{}), "REGEDIT4\r\n");
    EXPECT_TRUE(ParseHive("REGEDIT4\r\n").keys.empty());
}

TEST(HiveFileTest, LongHexListsWrapAndReadBack) {
    std::string data;
    for (int i = 0; i < 200; ++i)
        data += static_cast<char>(i);
    Hive hive;
    hive.AddKey(kKey).SetValue("Blob", REG_BINARY, data);
    const std::string text = SerializeHive(hive);

    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_GT(lines.size(), 5u);
    for (size_t i = 3; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 80u) << lines[i];
        if (i + 1 < lines.size()) {
            EXPECT_EQ(lines[i].substr(lines[i].size() - 2), ",\\") << lines[i];
        }
        if (i > 3) {
            EXPECT_EQ(lines[i].substr(0, 2), "  ") << lines[i];
        }
    }
    EXPECT_EQ(ValueOf(ParseHive(text), kKey, "Blob").data, data);
}

TEST(HiveFileTest, ReadsWindowsRegistryEditorExport) {
    // hex(2) holds "%USERPROFILE%\é.bmp" and hex(7) "a","b" in UTF-16LE, wrapped as the editor
    // wraps them; the quoted text is plain text in the file's own encoding.
    const std::string text = CrlfJoin({
        "Windows Registry Editor Version 5.00",
        "",
        "; exported for the tests",
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]",
        "@=\"café\"",
        "\"Wallpaper\"=\"C:\\\\Users\\\\ann\\\\lake.bmp\"",
        "\"Pattern\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,\\",
        "  4c,00,45,00,25,00,5c,00,e9,00,2e,00,62,00,6d,00,70,00,00,00",
        "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00",
        "\"Tile\"=dword:00000001",
        "\"Raw\"=hex:01,02",
        "",
        "[-HKEY_CURRENT_USER\\Software\\Gone]",
        "",
        "[HKEY_CURRENT_USER\\Software\\Velumor\\Options]",
        "\"Removed\"=-",
        "\"Current\"=\"Nature\"",
    });
    const Hive hive = ParseHive(Utf16File(text));
    const std::string desk = "HKEY_CURRENT_USER\\Control Panel\\Desktop";
    ASSERT_EQ(hive.keys.size(), 2u);
    EXPECT_EQ(ValueOf(hive, desk, "").data, "caf\xC3\xA9\0"s);
    EXPECT_EQ(ValueOf(hive, desk, "Wallpaper").data, "C:\\Users\\ann\\lake.bmp\0"s);
    EXPECT_EQ(ValueOf(hive, desk, "Pattern").type, REG_EXPAND_SZ);
    EXPECT_EQ(ValueOf(hive, desk, "Pattern").data, "%USERPROFILE%\\\xC3\xA9.bmp\0"s);
    EXPECT_EQ(ValueOf(hive, desk, "List").data, "a\0b\0\0"s);
    EXPECT_EQ(ValueOf(hive, desk, "Tile").data, "\x01\0\0\0"s);
    EXPECT_EQ(ValueOf(hive, desk, "Raw").data, "\x01\x02");
    EXPECT_EQ(hive.FindKey("HKEY_CURRENT_USER\\Software\\Gone"), nullptr);
    const HiveKey* options = hive.FindKey(kKey);
    ASSERT_NE(options, nullptr);
    ASSERT_EQ(options->values.size(), 1u);
    EXPECT_EQ(options->values[0].name, "Current");
}

TEST(HiveFileTest, Utf16DataIsTakenAsBytesInRegedit4Files) {
    const Hive hive =
        ParseHive(CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\K]", "\"P\"=hex(2):61,00,00,00"}));
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "P").data, "a\0\0\0"s);
}

TEST(HiveFileTest, AcceptsLfLinesUtf8BomAndLooseSpacing) {
    const Hive hive = ParseHive("\xEF\xBB\xBFREGEDIT4\n\n  [HKEY_CURRENT_USER\\K]  \n"
                                "\"A\" = \"1\"\t\n@ = dword:2a\n\"B\"=HEX:0a , 0b\n");
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "A").data, "1\0"s);
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "").data, "\x2a\0\0\0"s);
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "B").data, "\x0a\x0b");
}

TEST(HiveFileTest, TrailingBackslashInTextIsNotAContinuation) {
    const Hive hive = ParseHive(
        CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\K]", R"("Dir"="C:\\")", R"("Next"="x")"}));
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "Dir").data, "C:\\\0"s);
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\K", "Next").data, "x\0"s);
}

TEST(HiveFileTest, UnreadableLinesAreSkippedAndNotWrittenAgain) {
    const std::string text = CrlfJoin({
        "REGEDIT4",
        "\x01\x02\xFF\xFE binary junk \x00 here"s,
        "",
        "[HKEY_CURRENT_USER\\Good]",
        "\"Before\"=\"1\"",
        "\"Unterminated\"=\"abc",
        "\"Unterminated name=\"abc\"",
        "\"BadHex\"=hex:zz,01",
        "\"LongHexByte\"=hex:123",
        "\"EmptyHexByte\"=hex:01,,02",
        "\"BadDword\"=dword:123456789",
        "\"BadType\"=hex(q):01",
        "\"BadEscape\"=\"a\\tb\"",
        "\"Trailing\"=\"a\"junk",
        "\"Cut\"=hex:01,02,\\",
        "[HKEY_CURRENT_USER\\Unclosed",
        "\"Lost\"=\"belongs to no key\"",
        "[]",
        "\"AlsoLost\"=\"x\"",
        "[HKEY_CURRENT_USER\\Good]",
        "\"After\"=\"2\"",
        "just words",
        "=\"no name\"",
    });
    const Hive hive = ParseHive(text);
    EXPECT_EQ(SerializeHive(hive), CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Good]",
                                             "\"Before\"=\"1\"", "\"After\"=\"2\""}));
}

TEST(HiveFileTest, RepeatedKeysAndValuesMergeIgnoringCase) {
    const Hive hive = ParseHive(CrlfJoin({
        "REGEDIT4",
        "[HKEY_CURRENT_USER\\Control Panel\\desktop]",
        "\"Wallpaper\"=\"a\"",
        "\"Tile\"=\"0\"",
        "[HKEY_LOCAL_MACHINE\\Other]",
        "\"X\"=dword:00000001",
        "[hkey_current_user\\CONTROL PANEL\\Desktop]",
        "\"WALLPAPER\"=\"b\"",
        "\"Style\"=\"2\"",
    }));
    EXPECT_EQ(SerializeHive(hive),
              CrlfJoin({"REGEDIT4", "", "[HKEY_CURRENT_USER\\Control Panel\\desktop]",
                        "\"Wallpaper\"=\"b\"", "\"Tile\"=\"0\"", "\"Style\"=\"2\"", "",
                        "[HKEY_LOCAL_MACHINE\\Other]", "\"X\"=dword:00000001"}));
}

TEST(HiveFileTest, NamesCompareWithoutCaseAndParentsExist) {
    Hive hive;
    hive.AddKey("HKEY_CURRENT_USER\\Software\\Velumor\\Options")
        .SetValue("ViewBmp", REG_SZ, "YES\0"s);
    EXPECT_NE(hive.FindKey("hkey_current_user\\SOFTWARE\\velumor\\options"), nullptr);
    EXPECT_EQ(&hive.AddKey("HKEY_CURRENT_USER\\software\\velumor\\OPTIONS"), &hive.keys[0]);
    EXPECT_EQ(hive.keys.size(), 1u);
    EXPECT_NE(hive.keys[0].FindValue("VIEWBMP"), nullptr);
    hive.keys[0].SetValue("viewbmp", REG_SZ, "NO\0"s);
    ASSERT_EQ(hive.keys[0].values.size(), 1u);
    EXPECT_EQ(hive.keys[0].values[0].name, "ViewBmp");
    EXPECT_EQ(hive.keys[0].values[0].data, "NO\0"s);

    EXPECT_TRUE(hive.KeyExists("HKEY_CURRENT_USER\\software"));
    EXPECT_TRUE(hive.KeyExists("hkey_current_user\\Software\\Velumor"));
    EXPECT_TRUE(hive.KeyExists("HKEY_CURRENT_USER"));
    EXPECT_FALSE(hive.KeyExists("HKEY_CURRENT_USER\\Soft"));
    EXPECT_FALSE(hive.KeyExists("HKEY_CURRENT_USER\\Software\\Velumor\\Options\\Sub"));
    EXPECT_EQ(hive.FindKey("HKEY_CURRENT_USER\\Software"), nullptr);
    EXPECT_TRUE(SameName("Control Panel", "control PANEL"));
    EXPECT_FALSE(SameName("Panel", "Panels"));
}

TEST(HiveFileTest, WriteReadWriteIsStable) {
    // Odd bytes inside names and paths must come out of a second rewrite unchanged.
    const std::vector<std::string> inputs = {
        "REGEDIT4\n[a]b]\n\"x\ry\"=\"1\"\n",
        "REGEDIT4\n[ spaced ]\n@=hex(1):00\n",
        "\xFF\xFE"
        "[\0k\0]\0\n\0@\0=\0h\0e\0x\0(\0\x31\0)\0:\0\x34\0\x31\0"s,
        "Windows Registry Editor Version 5.00\n[k]\n\"a\"=hex(7):00,d8\n",
    };
    for (const auto& input : inputs) {
        const std::string once = SerializeHive(ParseHive(input));
        EXPECT_EQ(SerializeHive(ParseHive(once)), once);
    }
}

} // namespace
} // namespace velum
