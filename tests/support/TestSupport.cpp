#include "support/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/Files.h"

namespace fs = std::filesystem;

namespace velum::test {

namespace {
const char* kEnv = "XDG_CONFIG_HOME";

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}
} // namespace

TempStore::TempStore() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("velum-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            root_ = p.string();
            break;
        }
    }
    if (root_.empty())
        throw std::runtime_error("cannot create a temporary folder");
    if (const char* old = std::getenv(kEnv)) {
        hadEnv_ = true;
        savedEnv_ = old;
    }
    SetEnv(kEnv, root_);
}

TempStore::~TempStore() {
    if (hadEnv_)
        SetEnv(kEnv, savedEnv_);
    else
        UnsetEnv(kEnv);
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::string TempStore::winDir() const {
    return GetWinDir();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> ReadCrlfLines(const std::string& path) {
    std::string all = ReadWholeFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(all.substr(start));
            break;
        }
        lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string CrlfJoin(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

const std::vector<std::string> kWorkedExample = {
    R"("Bmp","","C:\Pictures\Lake.bmp")",
    R"("Bmp","","C:\Pictures\Forest.bmp")",
    R"("Index","Nature"," 2")",
    R"("Time","Nature","6/12/98 4:37:38 PM")",
    R"("CurrentIndex","Nature"," 1")",
    R"("Bmp","Nature","C:\Pictures\Forest.bmp")",
    R"("Bmp","Nature","C:\Pictures\Lake.bmp")",
    R"("Bmp","Nature","C:\Pictures\Meadow.bmp")",
    R"("Max","Nature","3")",
    R"("Minutes","Nature","0")",
    R"("Hours","Nature","0")",
    R"("Days","Nature","1")",
    R"("CycleOptions","Nature","0")",
    R"("TileWallpaper","Nature","0")",
    R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")",
    R"("Bmp","Default","C:\WINDOWS\Setup.bmp")",
    R"("Max","Default","2")",
    R"("Minutes","Default","0")",
    R"("Hours","Default","1")",
    R"("Days","Default","0")",
    R"("CycleOptions","Default","0")",
    R"("TileWallpaper","Default","1")",
};

void WriteBmp24(const std::string& path, int width, int height,
                const std::vector<std::uint32_t>& pixels) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const std::uint32_t size = 54 + static_cast<std::uint32_t>(stride * height);
    std::string out(size, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + i] = static_cast<char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, size, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            put(54 + static_cast<std::size_t>((height - 1 - y) * stride + x * 3),
                pixels[static_cast<std::size_t>(y * width + x)], 3);
    WriteWholeFile(path, out);
}

std::string MemoryRegistry::Fold(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string MemoryRegistry::Full(HKey root, const std::string& sub) const {
    std::string base;
    if (root == HKEY_CURRENT_USER)
        base = "hkey_current_user";
    else if (root == HKEY_LOCAL_MACHINE)
        base = "hkey_local_machine";
    else {
        auto it = handles_.find(root);
        if (it == handles_.end())
            return {};
        base = it->second;
    }
    return sub.empty() ? base : base + "\\" + Fold(sub);
}

std::int32_t MemoryRegistry::OpenKey(HKey root, const std::string& subKey, std::uint32_t,
                                     HKey* result) {
    *result = 0;
    std::string full = Full(root, subKey);
    if (full.empty())
        return ERROR_INVALID_HANDLE;
    bool exists = subKey.empty() || keys_.count(full) > 0;
    if (!exists) {
        // A key exists when it or one of its subkeys was created.
        auto it = keys_.lower_bound(full + "\\");
        exists = it != keys_.end() && it->first.compare(0, full.size() + 1, full + "\\") == 0;
    }
    if (!exists)
        return ERROR_FILE_NOT_FOUND;
    *result = next_++;
    handles_[*result] = full;
    return ERROR_SUCCESS;
}

std::int32_t MemoryRegistry::CreateKey(HKey root, const std::string& subKey, std::uint32_t,
                                       HKey* result) {
    *result = 0;
    std::string full = Full(root, subKey);
    if (full.empty())
        return ERROR_INVALID_HANDLE;
    keys_[full];
    *result = next_++;
    handles_[*result] = full;
    return ERROR_SUCCESS;
}

std::int32_t MemoryRegistry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                        unsigned char* data, std::uint32_t* size) {
    auto h = handles_.find(key);
    if (h == handles_.end())
        return ERROR_INVALID_HANDLE;
    auto k = keys_.find(h->second);
    if (k == keys_.end())
        return ERROR_FILE_NOT_FOUND;
    auto v = k->second.find(Fold(name));
    if (v == k->second.end())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->second.type;
    auto n = static_cast<std::uint32_t>(v->second.bytes.size());
    if (data) {
        if (!size || *size < n) {
            if (size)
                *size = n;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, v->second.bytes.data(), n);
    }
    if (size)
        *size = n;
    return ERROR_SUCCESS;
}

std::int32_t MemoryRegistry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                                      const unsigned char* data, std::uint32_t size) {
    auto h = handles_.find(key);
    if (h == handles_.end())
        return ERROR_INVALID_HANDLE;
    keys_[h->second][Fold(name)] =
        Value{type, std::string(reinterpret_cast<const char*>(data), size)};
    return ERROR_SUCCESS;
}

std::int32_t MemoryRegistry::CloseKey(HKey key) {
    return handles_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void MemoryRegistry::Put(const std::string& keyPath, const std::string& name, std::uint32_t type,
                         const std::string& bytes) {
    keys_[Fold("HKEY_CURRENT_USER\\" + keyPath)][Fold(name)] = Value{type, bytes};
}

bool MemoryRegistry::HasKey(const std::string& keyPath) const {
    return keys_.count(Fold("HKEY_CURRENT_USER\\" + keyPath)) > 0;
}

std::string MemoryRegistry::Raw(const std::string& keyPath, const std::string& name) const {
    auto k = keys_.find(Fold("HKEY_CURRENT_USER\\" + keyPath));
    if (k == keys_.end())
        return "<no key>";
    auto v = k->second.find(Fold(name));
    return v == k->second.end() ? "<no value>" : v->second.bytes;
}

} // namespace velum::test
