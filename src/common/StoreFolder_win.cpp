#include "common/Files.h"

#include <string>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "common/WideText.h"

namespace velum {

namespace {

// A known folder of the person's profile, without a trailing separator; empty when unknown.
std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Older installs kept velum.cfg in the Windows folder, where Windows redirected a standard
// user's writes to a VirtualStore copy: that copy is the person's newest, else the original.
// Copied, never moved: another install may still read it there.
void TakeOverOlderStore(const std::wstring& store) {
    const std::wstring windows = WindowsFolder();
    if (windows.size() < 3)
        return;
    const std::wstring local = KnownFolder(FOLDERID_LocalAppData);
    const std::wstring candidates[] = {local.empty() ? std::wstring()
                                                     : local + L"\\VirtualStore" +
                                                           windows.substr(2) + L"\\velum.cfg",
                                       windows + L"\\velum.cfg"};
    // A name of this process's own: a save's ~velum.tmp is never overwritten.
    const std::wstring temp =
        store + L"\\~velum." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    for (const std::wstring& older : candidates) {
        if (older.empty() || !Exists(older))
            continue;
        // Whole or not at all: the other program may look for velum.cfg meanwhile.
        if (CopyFileW(older.c_str(), temp.c_str(), FALSE) &&
            !MoveFileExW(temp.c_str(), (store + L"\\velum.cfg").c_str(), MOVEFILE_WRITE_THROUGH))
            DeleteFileW(temp.c_str());
        return;
    }
}

} // namespace

std::string StoreFolder() {
    const std::wstring roaming = KnownFolder(FOLDERID_RoamingAppData);
    if (roaming.empty())
        return {};
    // Beside the settings in HKEY_CURRENT_USER\Software\Velumor, which roam with it.
    const std::wstring store = roaming + L"\\Velumor";
    CreateDirectoryW(store.c_str(), nullptr);
    if (!Exists(store + L"\\velum.cfg") && GetLastError() == ERROR_FILE_NOT_FOUND)
        TakeOverOlderStore(store);
    return Narrow(store) + "\\";
}

} // namespace velum
