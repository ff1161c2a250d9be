#include "common/PlatformRegistry.h"

#include <cstdint>

#include <windows.h>

namespace velum {

namespace {

::HKEY ToNative(HKey key) {
    return static_cast<::HKEY>(NativeKey(key));
}

// Only the low 32 bits of a handle are significant, on 64-bit Windows too.
HKey FromNative(::HKEY key) {
    return static_cast<HKey>(reinterpret_cast<std::uintptr_t>(key));
}

// The registry of advapi32, called exactly as the interface describes.
class WinRegistry final : public Registry {
  public:
    std::int32_t OpenKey(HKey root, const std::string& subKey, std::uint32_t access,
                         HKey* result) override {
        ::HKEY key = nullptr;
        LONG status = RegOpenKeyExA(ToNative(root), subKey.c_str(), 0, access, &key);
        *result = status == ERROR_SUCCESS ? FromNative(key) : 0;
        return status;
    }

    std::int32_t CreateKey(HKey root, const std::string& subKey, std::uint32_t access,
                           HKey* result) override {
        // Security attributes with every field zero: no descriptor, not inheritable.
        SECURITY_ATTRIBUTES security{};
        ::HKEY key = nullptr;
        DWORD disposition = 0;
        LONG status =
            RegCreateKeyExA(ToNative(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            access, &security, &key, &disposition);
        *result = status == ERROR_SUCCESS ? FromNative(key) : 0;
        return status;
    }

    std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) override {
        DWORD nativeType = 0;
        DWORD nativeSize = size ? *size : 0;
        LONG status = RegQueryValueExA(ToNative(key), name.c_str(), nullptr, &nativeType, data,
                                       size ? &nativeSize : nullptr);
        if (type)
            *type = nativeType;
        if (size)
            *size = nativeSize;
        return status;
    }

    std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) override {
        return RegSetValueExA(ToNative(key), name.c_str(), 0, type, data, size);
    }

    std::int32_t CloseKey(HKey key) override { return RegCloseKey(ToNative(key)); }
};

} // namespace

// Key handles cross our interface as 32-bit values, as they are on 32-bit Windows. 64-bit
// Windows sign-extends them: HKEY_CURRENT_USER is 0xFFFFFFFF80000001 there.
void* NativeKey(HKey key) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
}

std::unique_ptr<Registry> CreatePlatformRegistry() {
    return std::make_unique<WinRegistry>();
}

} // namespace velum
