#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace velum {

// The three fields of one line of velum.cfg: key, collection name (empty for history), value.
struct ConfigRecord {
    std::string_view key;
    std::string_view name;
    std::string_view value;
};

// Splits a line (without its line end). A line in the writers' form "k","n","v" keeps commas and
// quotes inside the value; any other line is split at commas and loses the double quotes at the
// ends of each field. The fields point into `line`.
ConfigRecord ParseConfigRecord(std::string_view line);

// The longest line taken as a record: far more than a key, a collection's name and a path need.
inline constexpr std::size_t kMaxConfigLine = 64 * 1024;

// Reads the next line, without its CR LF (or LF); false at the end of the file or on a read
// error (the stream's badbit tells which). A longer line than kMaxConfigLine reads as an empty
// one, which is no record, and is skipped without being held.
bool ReadConfigLine(std::istream& in, std::string& line);

// True when a field can be written: one holding CR, LF or NUL would break the file's lines.
bool WritableField(std::string_view field);

// Writes a record as three quoted fields followed by CR LF. Throws IoFailure, writing nothing,
// when a field is not writable.
void WriteConfigRecord(std::ostream& out, std::string_view key, std::string_view name,
                       std::string_view value);

// Writes a record whose value is a bare decimal number: "Max","Nature",3. Throws IoFailure as
// WriteConfigRecord does.
void WriteConfigRecordNumber(std::ostream& out, std::string_view key, std::string_view name,
                             long number);

} // namespace velum
