#include "store/ConfigRecord.h"

#include <istream>
#include <ostream>
#include <string>

namespace velum {

namespace {

std::string_view TrimQuotes(std::string_view s) {
    std::size_t begin = s.find_first_not_of('"');
    if (begin == std::string_view::npos)
        return {};
    std::size_t end = s.find_last_not_of('"');
    return s.substr(begin, end - begin + 1);
}

// The n-th comma-separated segment (from 0), empty when the line has fewer.
std::string_view Segment(std::string_view line, int n) {
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        std::size_t p = line.find(',', start);
        if (p == std::string_view::npos)
            return {};
        start = p + 1;
    }
    std::size_t end = line.find(',', start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

} // namespace

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
    return ConfigRecord{TrimQuotes(Segment(line, 0)), TrimQuotes(Segment(line, 1)),
                        TrimQuotes(Segment(line, 2))};
}

bool ReadConfigLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

void WriteConfigRecord(std::ostream& out, std::string_view key, std::string_view name,
                       std::string_view value) {
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
