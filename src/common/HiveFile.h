#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velum {

// One value of a key: its name (empty for the default value), registry type and raw bytes.
struct HiveValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
};

// A key written as a section: its full path from the root (e.g. "HKEY_CURRENT_USER\Software").
struct HiveKey {
    std::string path;
    std::vector<HiveValue> values;

    // The value named `name` (letter case ignored), or null.
    const HiveValue* FindValue(std::string_view name) const;
    // Replaces the value's type and data, keeping its place and name; appends it when missing.
    void SetValue(std::string_view name, std::uint32_t type, std::string data);
};

// The keys of a hive file in file order; each path appears once (letter case ignored).
struct Hive {
    std::vector<HiveKey> keys;

    // The section for `path` (letter case ignored), or null.
    HiveKey* FindKey(std::string_view path);
    const HiveKey* FindKey(std::string_view path) const;
    // True when `path` has a section or is the parent of a key that has one.
    bool KeyExists(std::string_view path) const;
    // The section for `path`, appended empty when missing.
    HiveKey& AddKey(std::string_view path);
};

// True when the two names are equal with ASCII letters folded.
bool SameName(std::string_view a, std::string_view b);

// Reads a registry export (REGEDIT4 or Version 5.00, UTF-8 or UTF-16LE with BOM). Lines it cannot
// read are skipped; repeated keys are merged and a repeated value keeps its first place.
Hive ParseHive(std::string_view bytes);

// Writes the hive as REGEDIT4 text in UTF-8 with CRLF line ends. Names must hold no line break.
std::string SerializeHive(const Hive& hive);

} // namespace velum
