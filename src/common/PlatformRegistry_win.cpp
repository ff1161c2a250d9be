#include "common/PlatformRegistry.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include <windows.h>

#include "common/WideText.h"

namespace velum {

namespace {

::HKEY ToNative(HKey key) {
    return static_cast<::HKEY>(NativeKey(key));
}

// Only the low 32 bits of a handle are significant, on 64-bit Windows too.
HKey FromNative(::HKEY key) {
    return static_cast<HKey>(reinterpret_cast<std::uintptr_t>(key));
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The registry of advapi32, called exactly as the interface describes. Text values are UTF-16
// in the registry and UTF-8 through the interface: their sizes are those of the UTF-8 bytes.
class WinRegistry final : public Registry {
  public:
    std::int32_t OpenKey(HKey root, const std::string& subKey, std::uint32_t access,
                         HKey* result) override {
        ::HKEY key = nullptr;
        LONG status = RegOpenKeyExW(ToNative(root), Widen(subKey).c_str(), 0, access, &key);
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
            RegCreateKeyExW(ToNative(root), Widen(subKey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, access, &security, &key, &disposition);
        *result = status == ERROR_SUCCESS ? FromNative(key) : 0;
        return status;
    }

    std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) override {
        const std::wstring wideName = Widen(name);
        DWORD nativeType = 0;
        DWORD nativeSize = 0;
        LONG status = RegQueryValueExW(ToNative(key), wideName.c_str(), nullptr, &nativeType,
                                       nullptr, &nativeSize);
        if (status == ERROR_SUCCESS && IsText(nativeType)) {
            // The whole text is read; the value may grow between the calls.
            std::vector<wchar_t> wide;
            do {
                wide.assign(nativeSize / sizeof(wchar_t) + 1, L'\0');
                nativeSize = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
                status = RegQueryValueExW(ToNative(key), wideName.c_str(), nullptr, &nativeType,
                                          reinterpret_cast<BYTE*>(wide.data()), &nativeSize);
            } while (status == ERROR_MORE_DATA);
            if (status != ERROR_SUCCESS)
                return status;
            // Every stored character, its NULs included: the portable reader decides on them.
            const std::string text =
                Narrow(std::wstring_view(wide.data(), nativeSize / sizeof(wchar_t)));
            const auto needed = static_cast<std::uint32_t>(text.size());
            if (type)
                *type = nativeType;
            if (!size)
                return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
            const bool fits = *size >= needed;
            if (data && fits)
                std::memcpy(data, text.data(), text.size());
            *size = needed;
            return data && !fits ? ERROR_MORE_DATA : ERROR_SUCCESS;
        }
        nativeSize = size ? *size : 0;
        status = RegQueryValueExW(ToNative(key), wideName.c_str(), nullptr, &nativeType, data,
                                  size ? &nativeSize : nullptr);
        if (type)
            *type = nativeType;
        if (size)
            *size = nativeSize;
        return status;
    }

    std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) override {
        if (!IsText(type))
            return RegSetValueExW(ToNative(key), Widen(name).c_str(), 0, type, data, size);
        const std::wstring wide =
            Widen(std::string_view(reinterpret_cast<const char*>(data), data ? size : 0));
        return RegSetValueExW(ToNative(key), Widen(name).c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(wide.data()),
                              static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
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
