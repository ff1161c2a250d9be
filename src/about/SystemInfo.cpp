#include "about/SystemInfo.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Dialogs.h"
#include "common/Files.h"

namespace velum {

namespace {

constexpr std::uint32_t kAllAccess = 0x2003F;
constexpr std::uint32_t kBufferSize = 1024;

// The digits of each byte, last byte first, read back as one hexadecimal number.
std::string DwordText(const std::string& bytes) {
    std::string hex;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned char>(*it));
        hex += digits;
    }
    return std::to_string(std::stoull(hex, nullptr, 16)); // throws for no digits or over 64 bits
}

} // namespace

bool GetKeyValue(Registry& reg, HKey root, const std::string& keyName, const std::string& valueName,
                 std::string& result) {
    HKey key = 0;
    std::uint32_t type = 0;
    unsigned char buffer[kBufferSize] = {};
    std::uint32_t size = kBufferSize;
    if (reg.OpenKey(root, keyName, kAllAccess, &key) != reg::kSuccess ||
        reg.QueryValue(key, valueName, &type, buffer, &size) != reg::kSuccess) {
        result.clear();
        reg.CloseKey(key);
        return false;
    }
    // One terminating NUL goes; a value without one keeps all its bytes.
    std::size_t keep = size;
    if (size > 0 && buffer[size - 1] == 0)
        keep = size - 1;
    std::string text(reinterpret_cast<const char*>(buffer), keep);
    try {
        if (type == reg::kSz)
            result = text;
        else if (type == reg::kDword)
            result = DwordText(text);
    } catch (...) {
        reg.CloseKey(key);
        throw;
    }
    reg.CloseKey(key);
    return true;
}

void StartSysInfo(Registry& reg, Dialogs& dialogs,
                  const std::function<bool(const std::string&)>& startProgram) {
    try {
        std::string path;
        bool found = GetKeyValue(reg, reg::kLocalMachine,
                                 "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path);
        if (!found && GetKeyValue(reg, reg::kLocalMachine,
                                  "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", path)) {
            path += PathSeparator();
            path += "MSINFO32.EXE";
            found = FileExists(path);
        }
        if (found && startProgram(path))
            return;
    } catch (...) {
    }
    dialogs.ShowMessage("System Information Is Unavailable At This Time", kProgramTitle);
}

} // namespace velum
