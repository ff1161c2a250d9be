#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "store/ConfigRecord.h"

namespace fs = std::filesystem;

namespace velum::test {

TempFolder::TempFolder()
    : root_((fs::temp_directory_path() / ("velum-test-" + std::to_string(std::random_device{}())))
                .string()) {
    if (!fs::create_directory(root_))
        throw std::runtime_error("cannot create a temporary folder " + root_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

#ifdef _WIN32
// The store lives in the Windows folder, which cannot be moved; never the velum.cfg of a person's
// own Windows: CTest marks the prefix it made.
static void RemoveStoreFiles() {
    if (const char* mark = std::getenv("VELUM_TEST_PREFIX"); !mark || std::string(mark) != "1")
        throw std::runtime_error("store tests run only in the test prefix (VELUM_TEST_PREFIX=1)");
    std::error_code ec;
    for (const char* name : {"velum.cfg", "~velum.tmp", "~velum.lock"})
        fs::remove_all(GetWinDir() + name, ec);
}

TempStore::TempStore() {
    RemoveStoreFiles();
}
TempStore::~TempStore() {
    RemoveStoreFiles();
}
#else
static const char* const kEnv = "XDG_CONFIG_HOME";

TempStore::TempStore() {
    if (const char* old = std::getenv(kEnv))
        savedEnv_ = old;
    setenv(kEnv, root().c_str(), 1);
}

TempStore::~TempStore() {
    savedEnv_ ? setenv(kEnv, savedEnv_->c_str(), 1) : unsetenv(kEnv);
}
#endif

std::vector<std::string> StoredBitmapsOf(const std::string& storeFolder, const std::string& name) {
    std::vector<std::string> out;
    for (const auto& line : ReadCrlfLines(ConfigFilePath(storeFolder)))
        if (ConfigRecord r = ParseConfigRecord(line); r.key == "Bmp" && r.name == name)
            out.emplace_back(r.value);
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> ReadCrlfLines(const std::string& path) {
    const std::string all = ReadWholeFile(path);
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < all.size(); start = end + 2) {
        end = std::min(all.find("\r\n", start), all.size());
        lines.push_back(all.substr(start, end - start));
    }
    return lines;
}

std::string CrlfJoin(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

// clang-format off
const std::vector<std::string> kWorkedExample = {
    R"("Bmp","","C:\Pictures\Lake.bmp")", R"("Bmp","","C:\Pictures\Forest.bmp")",
    R"("Index","Nature"," 2")", R"("Time","Nature","6/12/98 4:37:38 PM")",
    R"("CurrentIndex","Nature"," 1")", R"("Bmp","Nature","C:\Pictures\Forest.bmp")",
    R"("Bmp","Nature","C:\Pictures\Lake.bmp")", R"("Bmp","Nature","C:\Pictures\Meadow.bmp")",
    R"("Max","Nature","3")", R"("Minutes","Nature","0")", R"("Hours","Nature","0")",
    R"("Days","Nature","1")", R"("CycleOptions","Nature","0")", R"("TileWallpaper","Nature","0")",
    R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")", R"("Bmp","Default","C:\WINDOWS\Setup.bmp")",
    R"("Max","Default","2")", R"("Minutes","Default","0")", R"("Hours","Default","1")",
    R"("Days","Default","0")", R"("CycleOptions","Default","0")", R"("TileWallpaper","Default","1")"};
// clang-format on

std::string LittleEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

std::string MakeBmp(std::int32_t width, std::int32_t height, int bpp, std::uint32_t compression,
                    const std::string& data, const std::string& extra) {
    const auto Le = LittleEndian;
    const std::size_t offset = 54 + extra.size();
    return "BM" + Le(offset + data.size(), 4) + Le(0, 4) + Le(offset, 4) + Le(40, 4) +
           Le(std::uint32_t(width), 4) + Le(std::uint32_t(height), 4) + Le(1, 2) + Le(bpp, 2) +
           Le(compression, 4) + Le(data.size(), 4) + std::string(16, 0) + extra + data;
}

void WriteBmp24(const std::string& path, int width, int height,
                const std::vector<std::uint32_t>& pixels) {
    std::string rows;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            rows += LittleEndian(pixels[static_cast<std::size_t>(y * width + x)], 3);
        rows.append(static_cast<std::size_t>(-width * 3 & 3), '\0'); // padded to four bytes
    }
    WriteWholeFile(path, MakeBmp(width, height, 24, 0, rows));
}

void PutValue(Registry& reg, const std::string& keyPath, const std::string& name,
              std::uint32_t type, const std::string& bytes, HKey root) {
    HKey key = 0;
    reg.CreateKey(root, keyPath, reg::kSettingsAccess, &key);
    reg.SetValue(key, name, type, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<std::uint32_t>(bytes.size()));
    reg.CloseKey(key);
}

std::string RawValue(Registry& reg, const std::string& keyPath, const std::string& name) {
    HKey key = 0;
    if (reg.OpenKey(reg::kCurrentUser, keyPath, reg::kSettingsAccess, &key) != reg::kSuccess)
        return "<no key>";
    std::string bytes(1 << 16, '\0'); // more than any value the tests store
    auto size = static_cast<std::uint32_t>(bytes.size());
    const std::int32_t rc =
        reg.QueryValue(key, name, nullptr, reinterpret_cast<unsigned char*>(bytes.data()), &size);
    reg.CloseKey(key);
    return rc == reg::kSuccess ? bytes.substr(0, size) : "<no value>";
}

std::int32_t MemoryRegistry::Open(HKey root, const std::string& subKey, bool create, HKey* result) {
    *result = 0;
    std::string path = root == reg::kCurrentUser    ? "HKEY_CURRENT_USER"
                       : root == reg::kLocalMachine ? "HKEY_LOCAL_MACHINE"
                       : handles_.count(root)       ? handles_.at(root)
                                                    : "";
    if (path.empty())
        return reg::kInvalidHandle;
    path += subKey.empty() ? "" : "\\" + subKey;
    if (!create && !hive_.KeyExists(path))
        return reg::kFileNotFound;
    hive_.AddKey(path);
    handles_[*result = next_++] = path;
    return reg::kSuccess;
}

std::int32_t MemoryRegistry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                        unsigned char* data, std::uint32_t* size) {
    const HiveKey* section = handles_.count(key) ? hive_.FindKey(handles_[key]) : nullptr;
    const HiveValue* v = section ? section->FindValue(name) : nullptr;
    if (!v)
        return handles_.count(key) ? reg::kFileNotFound : reg::kInvalidHandle;
    const auto n = static_cast<std::uint32_t>(v->data.size()), room = size ? *size : 0;
    if (type)
        *type = v->type;
    if (size)
        *size = n;
    if (data && room >= n)
        v->data.copy(reinterpret_cast<char*>(data), n);
    return data && room < n ? reg::kMoreData : reg::kSuccess;
}

std::int32_t MemoryRegistry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                                      const unsigned char* data, std::uint32_t size) {
    if (!handles_.count(key))
        return reg::kInvalidHandle;
    hive_.AddKey(handles_[key])
        .SetValue(name, type, std::string(reinterpret_cast<const char*>(data), size));
    return reg::kSuccess;
}

} // namespace velum::test
