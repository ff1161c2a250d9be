#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace velum {

// The Windows folder, with its trailing separator; on Linux the folder that stands for it, which
// holds the store. Empty when it cannot be found.
std::string GetWinDir();

// The folder that holds velum.cfg, with its trailing separator; empty when it cannot be found.
// On Windows the person's roaming application data, which takes over an older install's store
// on first use.
std::string StoreFolder();

// The system's text for one of its error numbers (errno on Linux, GetLastError on Windows).
std::string SystemErrorText(int code);

// False only when the system reports the file as missing.
bool FileExists(const std::string& path);

// The separator between a folder and a name in a full path.
char PathSeparator();

// A bitmap's full path: the folder, a separator unless the folder already ends in one, the name.
// An empty folder gives the name alone.
std::string JoinPath(const std::string& folder, const std::string& name);

// Opens a file of the store for reading. Null when it does not exist; throws IoFailure when it
// exists but cannot be opened, a folder included. Read errors later set the stream's badbit.
std::unique_ptr<std::istream> OpenForReading(const std::string& path);

// OpenForReading for a text file of the store. On Windows a file that is not UTF-8, written by
// an older install in the system's ANSI code page, reads as that text in UTF-8 (the old content
// of RewriteFileIf too); Linux reads the bytes as they are.
std::unique_ptr<std::istream> OpenTextForReading(const std::string& path);

// Writes the new content of a rewrite from the old one (null when the file does not exist);
// false abandons the rewrite and leaves the file as it was.
using RewriteBody = std::function<bool(std::istream* old, std::ostream& out)>;

// Rewrites `path` safely. `body` receives the old content and the new file, which starts empty.
// The new content goes to `tempName` in the folder of the real file (through a symbolic link),
// is flushed, takes the old file's permissions and is renamed over it, all under the lock of the
// store's folder. False when `body` abandoned the rewrite. A throw from `body`, a read error on
// the old content or a failed write throws IoFailure and leaves the old file as it was. Creates
// the folder when it is missing.
bool RewriteFileIf(const std::string& path, const std::string& tempName, const RewriteBody& body);

// RewriteFile for a body that always writes.
void RewriteFile(const std::string& path, const std::string& tempName,
                 const std::function<void(std::istream* old, std::ostream& out)>& body);

} // namespace velum
