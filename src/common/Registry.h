#pragma once

#include <cstdint>
#include <string>

namespace velum {

using HKey = std::uint32_t;

// The registry's names, scoped so that windows.h, whose macros spell them HKEY_CURRENT_USER,
// REG_SZ and ERROR_SUCCESS, may come before or after this header.
namespace reg {

inline constexpr HKey kCurrentUser = 0x80000001u;
inline constexpr HKey kLocalMachine = 0x80000002u;

// Value types, as the registry numbers them; a stored value may carry any other number too.
enum ValueType : std::uint32_t {
    kSz = 1,
    kExpandSz = 2,
    kBinary = 3,
    kDword = 4,
    kMultiSz = 7,
};

// Result codes of the registry calls, the Win32 error numbers; others pass through as numbers.
enum Result : std::int32_t {
    kSuccess = 0,
    kFileNotFound = 2,
    kAccessDenied = 5,
    kInvalidHandle = 6,
    kInvalidParameter = 87,
    kMoreData = 234,
};

// The access mask of every open and create of the settings store.
inline constexpr std::uint32_t kSettingsAccess = 0x3F;

} // namespace reg

// The five registry operations the programs use, with the Win32 semantics of RegOpenKeyEx,
// RegCreateKeyEx, RegQueryValueEx, RegSetValueEx and RegCloseKey. Key paths use '\'.
// Key and value names are compared without regard to letter case. Names and text values are
// UTF-8, and the sizes of text values those of their UTF-8 bytes.
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
    // Why HKEY_CURRENT_USER's store cannot be read now; empty when it can (or the registry is
    // the system's, which is always there). A file-backed registry reads an unreadable file as
    // empty, so its callers ask here before trusting what they read.
    virtual std::string ReadFailure() { return {}; }
};

} // namespace velum
