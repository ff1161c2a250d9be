#include "store/ConfigRecord.h"

#include <istream>
#include <ostream>
#include <string>

#include "common/Fields.h"
#include "common/IoFailure.h"

namespace velum {

namespace {

void RequireWritable(std::string_view key, std::string_view name, std::string_view value) {
    if (!WritableField(key) || !WritableField(name) || !WritableField(value))
        throw IoFailure("A record of velum.cfg cannot hold a line break; nothing was written");
}

} // namespace

bool WritableField(std::string_view field) {
    return field.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

ConfigRecord ParseConfigRecord(std::string_view line) {
    constexpr std::string_view sep = "\",\"";
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
        std::size_t a = line.find(sep, 1);
        if (a != std::string_view::npos) {
            std::size_t b = line.find(sep, a + sep.size());
            if (b != std::string_view::npos && b + sep.size() <= line.size() - 1) {
                ConfigRecord r;
                r.key = line.substr(1, a - 1);
                r.name = line.substr(a + sep.size(), b - a - sep.size());
                r.value = line.substr(b + sep.size(), line.size() - 1 - b - sep.size());
                return r;
            }
        }
    }
    return ConfigRecord{GetField(1, line, ","), GetField(2, line, ","), GetField(3, line, ",")};
}

bool ReadConfigLine(std::istream& in, std::string& line) {
    line.clear();
    bool any = false, tooLong = false;
    // Read a piece at a time, so that a file without line breaks is never held whole.
    char piece[4096];
    for (;;) {
        in.getline(piece, sizeof piece);
        const std::streamsize n = in.gcount();
        if (in.bad())
            return false;
        any = any || n > 0;
        const bool full = in.fail() && !in.eof() && n == sizeof piece - 1;
        const std::streamsize stored = full || in.eof() ? n : n - 1; // without the line break
        if (line.size() + static_cast<std::size_t>(stored) > kMaxConfigLine + 1)
            tooLong = true;
        else
            line.append(piece, static_cast<std::size_t>(stored));
        if (!full)
            break;
        in.clear();
    }
    if (!any)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (tooLong || line.size() > kMaxConfigLine)
        std::string().swap(line); // no record is this long: nothing to read or carry
    return true;
}

void WriteConfigRecord(std::ostream& out, std::string_view key, std::string_view name,
                       std::string_view value) {
    RequireWritable(key, name, value);
    std::string buf;
    buf.reserve(key.size() + name.size() + value.size() + 10);
    buf += '"';
    buf += key;
    buf += "\",\"";
    buf += name;
    buf += "\",\"";
    buf += value;
    buf += "\"\r\n";
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
}

void WriteConfigRecordNumber(std::ostream& out, std::string_view key, std::string_view name,
                             long number) {
    RequireWritable(key, name, {});
    std::string buf;
    buf += '"';
    buf += key;
    buf += "\",\"";
    buf += name;
    buf += "\",";
    buf += std::to_string(number);
    buf += "\r\n";
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
}

} // namespace velum
