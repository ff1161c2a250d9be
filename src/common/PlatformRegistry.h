#pragma once

#include <memory>
#include <string>

#include "common/Registry.h"

namespace velum {

// The registry of this platform: advapi32's on Windows, on Linux one kept in the hive files
// below.
std::unique_ptr<Registry> CreatePlatformRegistry();

// Windows only: the native handle (HKEY) of a key, for either width of Windows.
void* NativeKey(HKey key);

// Linux only: the file of HKEY_CURRENT_USER, user.reg in the store's folder; empty when there is no
// folder.
std::string UserHivePath();

// Linux only: the file of HKEY_LOCAL_MACHINE: the first velumor/machine.reg in $XDG_CONFIG_DIRS;
// empty if none.
std::string MachineHivePath();

} // namespace velum
