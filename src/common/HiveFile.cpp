#include "common/HiveFile.h"

#include <unordered_map>

#include "common/Registry.h"

namespace velum {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

char FoldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = FoldChar(c);
    return r;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Broken surrogates and an odd last byte become U+FFFD rather than failing the whole text.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    if (i < bytes.size())
        AppendUtf8(out, 0xFFFD);
    return out;
}

// Reads the quoted text starting at s[pos] (a '"'); `pos` ends after the closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    for (size_t i = pos + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
                return false;
            c = s[++i];
        }
        out += c;
    }
    return false;
}

// Comma-separated bytes of one or two hex digits; a trailing comma is tolerated.
bool ParseHexBytes(std::string_view s, std::string& out) {
    out.clear();
    if (Trim(s).empty())
        return true;
    size_t start = 0;
    while (true) {
        size_t comma = s.find(',', start);
        std::string_view token = Trim(s.substr(start, comma - start));
        if (token.empty()) {
            if (comma == std::string_view::npos && !out.empty())
                return true;
            return false;
        }
        if (token.size() > 2)
            return false;
        int value = 0;
        for (char c : token) {
            int h = HexValue(c);
            if (h < 0)
                return false;
            value = value * 16 + h;
        }
        out += static_cast<char>(value);
        if (comma == std::string_view::npos)
            return true;
        start = comma + 1;
    }
}

// Parses 1 to 8 hex digits filling all of `s`.
bool ParseHex32(std::string_view s, std::uint32_t& value) {
    if (s.empty() || s.size() > 8)
        return false;
    value = 0;
    for (char c : s) {
        int h = HexValue(c);
        if (h < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(h);
    }
    return true;
}

bool ParseData(std::string_view s, bool utf16Text, std::uint32_t& type, std::string& data) {
    if (!s.empty() && s[0] == '"') {
        size_t pos = 0;
        if (!ReadQuoted(s, pos, data) || pos != s.size())
            return false;
        data += '\0';
        type = reg::kSz;
        return true;
    }
    if (StartsWithNoCase(s, "dword:")) {
        std::uint32_t v = 0;
        if (!ParseHex32(s.substr(6), v))
            return false;
        type = reg::kDword;
        data.clear();
        for (int i = 0; i < 4; ++i)
            data += static_cast<char>(v >> (8 * i) & 0xFF);
        return true;
    }
    std::string_view bytes;
    if (StartsWithNoCase(s, "hex:")) {
        type = reg::kBinary;
        bytes = s.substr(4);
    } else if (StartsWithNoCase(s, "hex(")) {
        size_t close = s.find(')');
        if (close == std::string_view::npos || close + 1 >= s.size() || s[close + 1] != ':' ||
            !ParseHex32(s.substr(4, close - 4), type))
            return false;
        bytes = s.substr(close + 2);
    } else {
        return false;
    }
    if (!ParseHexBytes(bytes, data))
        return false;
    if (utf16Text && (type == reg::kSz || type == reg::kExpandSz || type == reg::kMultiSz))
        data = Utf16LeToUtf8(data);
    return true;
}

bool ValidKeyPath(std::string_view path) {
    if (path.empty() || path[0] == '-')
        return false;
    if (path.front() == '\\' || path.back() == '\\')
        return false;
    return path.find("\\\\") == std::string_view::npos;
}

bool IsHexContinuation(std::string_view line) {
    if (line.empty())
        return false;
    for (char c : line)
        if (HexValue(c) < 0 && c != ',' && c != ' ' && c != '\t' && c != '\\')
            return false;
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

bool IsPlainText(const HiveValue& v) {
    if (v.type != reg::kSz || v.data.empty() || v.data.back() != '\0')
        return false;
    return v.data.find_first_of(std::string_view("\0\r\n", 3)) == v.data.size() - 1;
}

void AppendValue(std::string& out, const HiveValue& v) {
    size_t lineStart = out.size();
    if (v.name.empty())
        out += '@';
    else
        AppendQuoted(out, v.name);
    out += '=';
    static const char digits[] = "0123456789abcdef";
    if (IsPlainText(v)) {
        AppendQuoted(out, std::string_view(v.data).substr(0, v.data.size() - 1));
    } else if (v.type == reg::kDword && v.data.size() == 4) {
        out += "dword:";
        for (int i = 3; i >= 0; --i) {
            auto b = static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
            out += digits[b >> 4];
            out += digits[b & 0xF];
        }
    } else {
        if (v.type == reg::kBinary) {
            out += "hex:";
        } else {
            std::string n;
            for (std::uint32_t t = v.type; n.empty() || t != 0; t >>= 4)
                n.insert(n.begin(), digits[t & 0xF]);
            out += "hex(" + n + "):";
        }
        // Wrapped like the registry editor does, so long values stay readable in an editor.
        size_t column = out.size() - lineStart;
        bool lineHasByte = false;
        for (size_t i = 0; i < v.data.size(); ++i) {
            size_t width = i + 1 < v.data.size() ? 3 : 2;
            if (lineHasByte && column + width > 77) {
                out += "\\\r\n  ";
                column = 2;
            }
            auto b = static_cast<unsigned char>(v.data[i]);
            out += digits[b >> 4];
            out += digits[b & 0xF];
            if (i + 1 < v.data.size())
                out += ',';
            column += width;
            lineHasByte = true;
        }
    }
    out += "\r\n";
}

} // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    return true;
}

const HiveValue* HiveKey::FindValue(std::string_view name) const {
    for (const auto& v : values)
        if (SameName(v.name, name))
            return &v;
    return nullptr;
}

void HiveKey::SetValue(std::string_view name, std::uint32_t type, std::string data) {
    for (auto& v : values) {
        if (SameName(v.name, name)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    }
    values.push_back(HiveValue{std::string(name), type, std::move(data)});
}

HiveKey* Hive::FindKey(std::string_view path) {
    for (auto& k : keys)
        if (SameName(k.path, path))
            return &k;
    return nullptr;
}

const HiveKey* Hive::FindKey(std::string_view path) const {
    return const_cast<Hive*>(this)->FindKey(path);
}

bool Hive::KeyExists(std::string_view path) const {
    for (const auto& k : keys) {
        std::string_view p = k.path;
        if (SameName(p, path) || (p.size() > path.size() && p[path.size()] == '\\' &&
                                  SameName(p.substr(0, path.size()), path)))
            return true;
    }
    return false;
}

HiveKey& Hive::AddKey(std::string_view path) {
    if (HiveKey* k = FindKey(path))
        return *k;
    keys.push_back(HiveKey{std::string(path), {}});
    return keys.back();
}

Hive ParseHive(std::string_view bytes) {
    std::string converted;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        converted = Utf16LeToUtf8(bytes.substr(2));
        bytes = converted;
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }

    Hive hive;
    std::unordered_map<std::string, size_t> index; // folded path -> position in hive.keys
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t current = kNone;
    bool utf16Text = false;
    bool inSections = false;
    const std::vector<std::string_view> lines = SplitLines(bytes);

    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line[0] == ';')
            continue;
        if (!inSections && (line == kHeader4 || line == kHeader5)) {
            utf16Text = line == kHeader5;
            continue;
        }
        if (line[0] == '[') {
            inSections = true;
            // Values under a section we cannot read must not land in the previous key.
            current = kNone;
            if (line.size() < 2 || line.back() != ']')
                continue;
            std::string_view path = line.substr(1, line.size() - 2);
            if (!ValidKeyPath(path))
                continue;
            auto [it, added] = index.emplace(Fold(path), hive.keys.size());
            if (added)
                hive.keys.push_back(HiveKey{std::string(path), {}});
            current = it->second;
            continue;
        }
        if (line[0] != '"' && line[0] != '@')
            continue;

        std::string name;
        size_t pos = 1;
        if (line[0] == '"') {
            pos = 0;
            if (!ReadQuoted(line, pos, name))
                continue;
        }
        std::string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest[0] != '=')
            continue;
        std::string_view data = Trim(rest.substr(1));

        // Only hex lists continue over lines: text may itself end with a backslash.
        std::string joined;
        bool complete = true;
        if (StartsWithNoCase(data, "hex") && !data.empty() && data.back() == '\\') {
            joined = data.substr(0, data.size() - 1);
            complete = false;
            while (i + 1 < lines.size()) {
                std::string_view next = Trim(lines[i + 1]);
                if (!next.empty() && next[0] == ';') {
                    ++i;
                    continue;
                }
                if (!IsHexContinuation(next))
                    break;
                ++i;
                if (next.back() != '\\') {
                    joined += next;
                    complete = true;
                    break;
                }
                joined += next.substr(0, next.size() - 1);
            }
            data = joined;
        }
        std::uint32_t type = 0;
        std::string value;
        if (complete && current != kNone && ParseData(data, utf16Text, type, value))
            hive.keys[current].SetValue(name, type, std::move(value));
    }
    return hive;
}

std::string SerializeHive(const Hive& hive) {
    std::string out(kHeader4);
    out += "\r\n";
    for (const auto& key : hive.keys) {
        out += "\r\n[";
        out += key.path;
        out += "]\r\n";
        for (const auto& v : key.values)
            AppendValue(out, v);
    }
    return out;
}

} // namespace velum
