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

// Older installs kept velum.cfg in the Windows folder, where Windows redirected a standard
// user's writes to a VirtualStore copy: that copy is the person's newest, else the original.
// Copied, never moved: another install may still read it there.
void TakeOverOlderStore(const std::string& store) {
    const std::string windows = GetWinDir(); // "C:\\Windows\\"
    if (windows.size() < 3)
        return;
    const std::wstring local = KnownFolder(FOLDERID_LocalAppData);
    const std::string candidates[] = {local.empty() ? std::string()
                                                    : Narrow(local) + "\\VirtualStore" +
                                                          windows.substr(2) + "velum.cfg",
                                      windows + "velum.cfg"};
    // A name of this process's own: a save's ~velum.tmp is never overwritten.
    const std::wstring temp =
        Widen(store + "~velum." + std::to_string(GetCurrentProcessId()) + ".tmp");
    for (const std::string& older : candidates) {
        // Whole or not at all: the other program may look for velum.cfg meanwhile.
        if (!older.empty() && CopyFileW(Widen(older).c_str(), temp.c_str(), FALSE)) {
            if (!MoveFileExW(temp.c_str(), Widen(store + "velum.cfg").c_str(),
                             MOVEFILE_WRITE_THROUGH))
                DeleteFileW(temp.c_str());
            return;
        }
        // Only a copy that is not there sends us on to the next: one that cannot be read is
        // the person's newest all the same, and an older one must not stand in for it.
        if (const DWORD error = GetLastError();
            !older.empty() && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return;
    }
}

} // namespace

std::string StoreFolder() {
    const std::wstring roaming = KnownFolder(FOLDERID_RoamingAppData);
    if (roaming.empty())
        return {};
    // Beside the settings in HKEY_CURRENT_USER\Software\Velumor, which roam with it.
    const std::string store = Narrow(roaming) + "\\Velumor\\";
    CreateDirectoryW(Widen(store).c_str(), nullptr);
    if (!FileExists(store + "velum.cfg"))
        TakeOverOlderStore(store);
    return store;
}

} // namespace velum
