#include "common/HiveRegistry.h"

#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <string_view>

#include "common/FileBuffers.h"
#include "common/Files.h"
#include "common/IoFailure.h"

namespace velum {

namespace {

constexpr char kUserRoot[] = "HKEY_CURRENT_USER";
constexpr char kMachineRoot[] = "HKEY_LOCAL_MACHINE";
constexpr char kTempName[] = "~user.reg.tmp";

// Names end up on one line of the file, and a key path needs every part named.
bool WritableName(const std::string& name) {
    return name.find_first_of("\r\n") == name.npos;
}

bool ValidSubKey(const std::string& subKey) {
    if (!WritableName(subKey))
        return false;
    if (subKey.empty())
        return true;
    return subKey.front() != '\\' && subKey.back() != '\\' && subKey.find("\\\\") == subKey.npos;
}

std::string ReadAll(std::istream& in) {
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    return bytes;
}

std::string Reason(const IoFailure& e) {
    // The system has no text of its own for a FIFO or a device in the file's place.
    if (std::string_view(e.what()).ends_with(kNotRegularFile))
        return kNotRegularFile;
    return e.code() ? SystemErrorText(e.code()) : e.what();
}

} // namespace

HiveRegistry::HiveRegistry(std::string userHivePath, std::string machineHivePath)
    : userPath_(std::move(userHivePath)), machinePath_(std::move(machineHivePath)) {}

bool HiveRegistry::Resolve(HKey key, KeyRef& ref) const {
    if (key == reg::kCurrentUser || key == reg::kLocalMachine) {
        ref.machine = key == reg::kLocalMachine;
        ref.path = ref.machine ? kMachineRoot : kUserRoot;
        return true;
    }
    auto it = handles_.find(key);
    if (it == handles_.end())
        return false;
    ref = it->second;
    return true;
}

std::int32_t HiveRegistry::Locate(HKey root, const std::string& subKey, KeyRef& ref) const {
    if (!Resolve(root, ref))
        return reg::kInvalidHandle;
    if (!ValidSubKey(subKey))
        return reg::kInvalidParameter;
    if (!subKey.empty())
        ref.path += "\\" + subKey;
    return reg::kSuccess;
}

bool HiveRegistry::Load(bool machine, Hive& hive, std::string* reason) const {
    hive = Hive{};
    const std::string& path = machine ? machinePath_ : userPath_;
    if (path.empty())
        return true;
    std::unique_ptr<std::istream> in;
    try {
        in = OpenForReading(path);
    } catch (const IoFailure& e) {
        if (reason)
            *reason = Reason(e);
        return false;
    }
    if (!in)
        return true;
    errno = 0;
    std::string bytes = ReadAll(*in);
    if (in->bad()) {
        if (reason)
            *reason = errno ? std::strerror(errno) : "read error";
        return false;
    }
    hive = ParseHive(bytes);
    return true;
}

// A hive that could not be read is never rewritten: that would lose the person's settings.
Hive HiveRegistry::LoadForWrite() const {
    if (userPath_.empty())
        throw IoFailure("The settings folder cannot be found; the settings were not saved");
    Hive hive;
    std::string reason;
    if (!Load(false, hive, &reason))
        throw IoFailure("Cannot read " + userPath_ + ": " + reason + "; it was not rewritten");
    return hive;
}

bool HiveRegistry::Rewrite(const std::function<bool(Hive&)>& change) {
    return RewriteFileIf(userPath_, kTempName, [&](std::istream* old, std::ostream& out) {
        Hive hive;
        if (old) {
            errno = 0;
            std::string bytes = ReadAll(*old);
            if (old->bad())
                throw IoFailure("Cannot read " + userPath_ + ": " +
                                    (errno ? std::strerror(errno) : "read error") +
                                    "; it was not rewritten",
                                errno);
            hive = ParseHive(bytes);
        }
        if (!change(hive))
            return false; // nothing to write: the file is not touched
        out << SerializeHive(hive);
        return true;
    });
}

HKey HiveRegistry::NewHandle(KeyRef ref) {
    while (next_ == 0 || next_ == reg::kCurrentUser || next_ == reg::kLocalMachine ||
           handles_.count(next_))
        ++next_;
    HKey key = next_++;
    handles_.emplace(key, std::move(ref));
    return key;
}

std::int32_t HiveRegistry::OpenKey(HKey root, const std::string& subKey, std::uint32_t,
                                   HKey* result) {
    *result = 0;
    KeyRef ref;
    if (std::int32_t rc = Locate(root, subKey, ref))
        return rc;
    if (!subKey.empty()) {
        Hive hive;
        if (!Load(ref.machine, hive, nullptr) || !hive.KeyExists(ref.path))
            return reg::kFileNotFound;
    }
    *result = NewHandle(std::move(ref));
    return reg::kSuccess;
}

std::int32_t HiveRegistry::CreateKey(HKey root, const std::string& subKey, std::uint32_t,
                                     HKey* result) {
    *result = 0;
    KeyRef ref;
    if (std::int32_t rc = Locate(root, subKey, ref))
        return rc;
    if (!subKey.empty()) {
        if (ref.machine) {
            Hive hive;
            if (!Load(true, hive, nullptr) || !hive.KeyExists(ref.path))
                return reg::kAccessDenied;
        } else if (!LoadForWrite().KeyExists(ref.path)) {
            Rewrite([&](Hive& hive) {
                if (hive.KeyExists(ref.path))
                    return false;
                hive.AddKey(ref.path);
                return true;
            });
        }
    }
    *result = NewHandle(std::move(ref));
    return reg::kSuccess;
}

std::int32_t HiveRegistry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                      unsigned char* data, std::uint32_t* size) {
    KeyRef ref;
    if (!Resolve(key, ref))
        return reg::kInvalidHandle;
    Hive hive;
    if (!Load(ref.machine, hive, nullptr))
        return reg::kFileNotFound;
    const HiveKey* k = hive.FindKey(ref.path);
    const HiveValue* v = k ? k->FindValue(name) : nullptr;
    if (!v)
        return reg::kFileNotFound;
    if (data && !size)
        return reg::kInvalidParameter;
    if (type)
        *type = v->type;
    auto n = static_cast<std::uint32_t>(v->data.size());
    if (data) {
        if (*size < n) {
            *size = n;
            return reg::kMoreData;
        }
        std::memcpy(data, v->data.data(), n);
    }
    if (size)
        *size = n;
    return reg::kSuccess;
}

std::int32_t HiveRegistry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                                    const unsigned char* data, std::uint32_t size) {
    KeyRef ref;
    if (!Resolve(key, ref))
        return reg::kInvalidHandle;
    if (ref.machine)
        return reg::kAccessDenied;
    if (!WritableName(name) || (!data && size > 0))
        return reg::kInvalidParameter;
    // A root always exists; any other key must still be in the file.
    bool isRoot = ref.path == kUserRoot;
    Hive current = LoadForWrite();
    if (!current.KeyExists(ref.path) && !isRoot)
        return reg::kFileNotFound;
    std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), size) : "";
    const HiveKey* k = current.FindKey(ref.path);
    const HiveValue* v = k ? k->FindValue(name) : nullptr;
    if (v && v->type == type && v->data == bytes)
        return reg::kSuccess; // the file already says so; spare a rewrite and its flush
    bool written = Rewrite([&](Hive& hive) {
        if (!isRoot && !hive.KeyExists(ref.path))
            return false;
        hive.AddKey(ref.path).SetValue(name, type, std::move(bytes));
        return true;
    });
    return written ? reg::kSuccess : reg::kFileNotFound;
}

std::string HiveRegistry::ReadFailure() {
    Hive hive;
    std::string reason;
    if (Load(false, hive, &reason))
        return {};
    return "Cannot read " + userPath_ + ": " + reason;
}

std::int32_t HiveRegistry::CloseKey(HKey key) {
    if (key == reg::kCurrentUser || key == reg::kLocalMachine)
        return reg::kSuccess;
    return handles_.erase(key) ? reg::kSuccess : reg::kInvalidHandle;
}

} // namespace velum
