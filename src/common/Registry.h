#pragma once

#include <cstdint>
#include <string>

namespace velum {

using HKey = std::uint32_t;

inline constexpr HKey HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKey HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_MORE_DATA = 234;

// The access mask of every open and create of the settings store.
inline constexpr std::uint32_t KEY_SETTINGS_ACCESS = 0x3F;

// The five registry operations the programs use, with the Win32 semantics of RegOpenKeyExA,
// RegCreateKeyExA, RegQueryValueExA, RegSetValueExA and RegCloseKey. Key paths use '\'.
// Key and value names are compared without regard to letter case.
class Registry {
  public:
    virtual ~Registry() = default;

    // Opens an existing key below `root`; `*result` is 0 when it fails.
    virtual std::int32_t OpenKey(HKey root, const std::string& subKey, std::uint32_t access,
                                 HKey* result) = 0;
    // Opens the key, creating it and its parents when missing; `*result` is 0 when it fails.
    virtual std::int32_t CreateKey(HKey root, const std::string& subKey, std::uint32_t access,
                                   HKey* result) = 0;
    // Reports a value's type and byte size. With `data` non-null, copies the data when `*size`
    // is large enough (ERROR_MORE_DATA and no copy otherwise); `*size` becomes the data's size.
    virtual std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                    unsigned char* data, std::uint32_t* size) = 0;
    // Stores `size` bytes of `data` as a value of `type`. A file-backed registry throws
    // IoFailure when its file cannot be rewritten.
    virtual std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                                  const unsigned char* data, std::uint32_t size) = 0;
    // Closes a key opened by OpenKey or CreateKey.
    virtual std::int32_t CloseKey(HKey key) = 0;
};

} // namespace velum
