#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "common/HiveFile.h"
#include "common/Registry.h"

namespace velum {

// The registry kept in hive files: HKEY_CURRENT_USER in a writable file, HKEY_LOCAL_MACHINE in a
// read-only one. Nothing is cached: other programs write the same file, so every operation reads
// it afresh, and every write re-reads it under the file's lock.
class HiveRegistry final : public Registry {
  public:
    // An empty path is an empty hive; an empty user path also makes every write throw.
    HiveRegistry(std::string userHivePath, std::string machineHivePath);

    std::int32_t OpenKey(HKey root, const std::string& subKey, std::uint32_t access,
                         HKey* result) override;
    std::int32_t CreateKey(HKey root, const std::string& subKey, std::uint32_t access,
                           HKey* result) override;
    std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) override;
    std::int32_t CloseKey(HKey key) override;
    std::string ReadFailure() override;

  private:
    struct KeyRef {
        bool machine = false;
        std::string path; // full path from the root, as in the file's sections
    };

    bool Resolve(HKey key, KeyRef& ref) const;
    std::int32_t Locate(HKey root, const std::string& subKey, KeyRef& ref) const;
    bool Load(bool machine, Hive& hive, std::string* reason) const;
    Hive LoadForWrite() const;
    bool Rewrite(const std::function<bool(Hive&)>& change);
    HKey NewHandle(KeyRef ref);

    std::string userPath_;
    std::string machinePath_;
    std::map<HKey, KeyRef> handles_;
    HKey next_ = 0x100;
};

} // namespace velum
