#include "common/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileBuffers.h"
#include "common/IoFailure.h"

namespace velum {

namespace {

constexpr const char* kLockName = "~velum.lock";

// Closes the descriptor when it goes out of scope.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads a descriptor, which it closes at the end.
class FdReadBuffer final : public ReadBuffer {
  public:
    FdReadBuffer(int fd, const std::string& path) : ReadBuffer(path), fd_(fd) {}
    ~FdReadBuffer() override { ::close(fd_); }

  protected:
    std::size_t RawRead(char* dst, std::size_t n, int& err) override {
        for (;;) {
            ssize_t r = ::read(fd_, dst, n);
            if (r >= 0)
                return static_cast<std::size_t>(r);
            if (errno != EINTR) {
                err = errno;
                return 0;
            }
        }
    }
    std::int64_t RawSeek(std::int64_t offset, std::ios::seekdir dir) override {
        const int whence = dir == std::ios::beg   ? SEEK_SET
                           : dir == std::ios::cur ? SEEK_CUR
                                                  : SEEK_END;
        return ::lseek(fd_, static_cast<off_t>(offset), whence);
    }

  private:
    int fd_;
};

class FdIStream final : public std::istream {
  public:
    FdIStream(int fd, const std::string& path) : std::istream(nullptr), buf_(fd, path) {
        rdbuf(&buf_);
    }

  private:
    FdReadBuffer buf_;
};

// Writes a descriptor that someone else closes.
class FdWriteBuffer final : public WriteBuffer {
  public:
    explicit FdWriteBuffer(int fd) : fd_(fd) {}

  protected:
    std::size_t RawWrite(const char* src, std::size_t n, int& err) override {
        for (;;) {
            ssize_t w = ::write(fd_, src, n);
            if (w > 0)
                return static_cast<std::size_t>(w);
            if (w == 0 || errno != EINTR) {
                err = w == 0 ? EIO : errno;
                return 0;
            }
        }
    }

  private:
    int fd_;
};

// Throws IoFailure when the open descriptor is not a regular file: a FIFO or a device would
// block or never end, a folder is no file. `what` begins the message.
void RefuseSpecialFile(int fd, const std::string& what, const std::string& path, mode_t* mode) {
    struct stat st;
    int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (err == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw IoFailure(what + " " + path + ": " + kNotRegularFile, EINVAL);
    }
    if (err == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        err = errno;
    if (err != 0) {
        ::close(fd);
        FailOn(what, path, err);
    }
    if (mode)
        *mode = st.st_mode & 07777;
}

// Opens an existing regular file; null when it is missing. `mode` receives its permissions.
std::unique_ptr<FdIStream> OpenStream(const std::string& path, mode_t* mode) {
    // Non-blocking, so that a FIFO is refused rather than waited on.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return nullptr;
        FailOn("Could not open", path, errno);
    }
    RefuseSpecialFile(fd, "Could not open", path, mode);
    return std::make_unique<FdIStream>(fd, path);
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    std::size_t end = path.find_last_not_of('/', slash);
    return end == std::string::npos ? "/" : path.substr(0, end + 1);
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; the last folder is private to the user.
void MakeFolders(const std::string& folder) {
    if (IsFolder(folder))
        return;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        std::string part = folder.substr(0, pos);
        bool last =
            pos == std::string::npos || folder.find_first_not_of('/', pos) == std::string::npos;
        if (part.empty() || part.back() == '/' || IsFolder(part))
            continue;
        if (::mkdir(part.c_str(), last ? 0700 : 0755) != 0 && errno != EEXIST)
            FailOn("Could not create the folder", part, errno);
        if (last)
            break;
    }
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    for (;;) {
        struct passwd pw;
        struct passwd* found = nullptr;
        int err = ::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found);
        if (err == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return err == 0 && found && found->pw_dir ? found->pw_dir : "";
    }
}

// Follows symbolic links to the file they finally name, which need not exist yet.
std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 255)) + 1);
        ssize_t n;
        while ((n = ::readlink(current.c_str(), target.data(), target.size())) >= 0 &&
               static_cast<std::size_t>(n) == target.size())
            target.resize(target.size() * 2);
        if (n < 0)
            FailOn("Could not follow the link", current, errno);
        std::string next(target.data(), static_cast<std::size_t>(n));
        current = next.front() == '/' ? next : JoinPath(FolderOf(current), next);
    }
    FailOn("Could not save", path, ELOOP);
}

// The exclusive lock of a folder, held while the object lives.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder) {
        std::string path = JoinPath(folder, kLockName);
        fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd_ < 0)
            FailOn("Could not lock", path, errno);
        RefuseSpecialFile(fd_, "Could not lock", path, nullptr);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                int err = errno;
                ::close(fd_);
                FailOn("Could not lock", path, err);
            }
        }
    }
    ~FolderLock() { ::close(fd_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_;
};

// The new content on its way; removed unless it was renamed into place.
class TempFile {
  public:
    explicit TempFile(std::string path) : path_(std::move(path)) {
        // A leftover from a crash may carry a read-only mode copied from the old file.
        ::unlink(path_.c_str());
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0)
            FailOn("Could not create", path_, errno);
    }
    ~TempFile() {
        ::close(fd_);
        if (!kept_)
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    int fd_;
    bool kept_ = false;
};

// Best effort: makes the rename itself durable. The file is already replaced, so a failure here
// must not be reported as if the old content were still in place.
void SyncFolder(const std::string& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

} // namespace

std::string GetWinDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        std::string home = HomeFolder();
        if (home.empty())
            return {};
        base = JoinPath(home, ".config");
    }
    return JoinPath(base, "velumor") + PathSeparator();
}

std::string StoreFolder() {
    return GetWinDir();
}

std::string SystemErrorText(int code) {
    return std::strerror(code);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

char PathSeparator() {
    return '/';
}

std::unique_ptr<std::istream> OpenForReading(const std::string& path) {
    return OpenStream(path, nullptr);
}

std::unique_ptr<std::istream> OpenTextForReading(const std::string& path) {
    return OpenForReading(path);
}

bool RewriteFileIf(const std::string& path, const std::string& tempName, const RewriteBody& body) {
    const std::string folder = FolderOf(path);
    MakeFolders(folder);
    FolderLock lock(folder);

    const std::string target = ResolveLinks(path);
    const std::string targetFolder = FolderOf(target);
    mode_t oldMode = 0;
    std::unique_ptr<FdIStream> old = OpenStream(target, &oldMode);
    TempFile temp(JoinPath(targetFolder, tempName));
    FdWriteBuffer out(temp.fd());
    if (!FillNewContent(path, old.get(), out, EIO, body))
        return false; // the temporary file goes, the old file stays
    if (::fsync(temp.fd()) != 0)
        FailOn("Could not save", path, errno);
    if (old && ::fchmod(temp.fd(), oldMode) != 0)
        FailOn("Could not save", path, errno);
    old.reset();
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        FailOn("Could not save", path, errno);
    temp.Keep();
    SyncFolder(targetFolder);
    return true;
}

} // namespace velum
