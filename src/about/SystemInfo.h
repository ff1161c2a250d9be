#pragma once

#include <functional>
#include <string>

#include "common/Dialogs.h"
#include "common/Registry.h"

namespace velum {

// Reads one value below `root` into `result`: REG_SZ as text, REG_DWORD as a decimal number
// made from the hexadecimal digits of its bytes, last byte first (no leading zero per byte).
// Other types leave `result` as it was. False, with `result` empty, when the key cannot be
// opened or the value cannot be read into 1024 bytes. Throws std::invalid_argument or
// std::out_of_range when a REG_DWORD gives no digits or more than 64 bits.
bool GetKeyValue(Registry& reg, HKey root, const std::string& keyName, const std::string& valueName,
                 std::string& result);

// Starts the system information program the machine hive names, through `startProgram`;
// otherwise tells the person it is unavailable.
void StartSysInfo(Registry& reg, Dialogs& dialogs,
                  const std::function<bool(const std::string&)>& startProgram);

} // namespace velum
