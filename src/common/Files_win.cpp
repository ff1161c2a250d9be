#include "common/Files.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

#include <windows.h>

#include "common/IoFailure.h"

namespace velum {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr const char* kLockName = "~velum.lock";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD err) {
    throw IoFailure(what + " " + path + ": " + SystemErrorText(static_cast<int>(err)),
                    static_cast<int>(err));
}

// Closes the handle when it goes out of scope.
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~UniqueHandle() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

// Reads a handle through a 64 KiB buffer. A failed read throws from underflow, which the
// istream turns into badbit; the error stays recorded so that callers can tell it from the end.
class HandleInBuf final : public std::streambuf {
  public:
    HandleInBuf(HANDLE h, std::string path)
        : h_(h), path_(std::move(path)), buffer_(new char[kBufferSize]) {
        setg(buffer_.get(), buffer_.get(), buffer_.get());
    }
    ~HandleInBuf() override { CloseHandle(h_); }
    DWORD error() const { return error_; }

  protected:
    int_type underflow() override {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        DWORD n = 0;
        if (error_ == 0 && !ReadFile(h_, buffer_.get(), kBufferSize, &n, nullptr))
            error_ = GetLastError();
        if (error_ != 0)
            Fail("Could not read", path_, error_);
        setg(buffer_.get(), buffer_.get(), buffer_.get() + n);
        return n == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }

  private:
    HANDLE h_;
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    DWORD error_ = 0;
};

class HandleIStream final : public std::istream {
  public:
    HandleIStream(HANDLE h, const std::string& path) : std::istream(nullptr), buf_(h, path) {
        rdbuf(&buf_);
    }
    DWORD error() const { return buf_.error(); }

  private:
    HandleInBuf buf_;
};

// Writes a handle through a 64 KiB buffer. After the first failed write it accepts nothing
// more and keeps the error for the message.
class HandleOutBuf final : public std::streambuf {
  public:
    explicit HandleOutBuf(HANDLE h) : h_(h), buffer_(new char[kBufferSize]) {
        setp(buffer_.get(), buffer_.get() + kBufferSize);
    }
    DWORD error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return Drain() ? 0 : -1; }

  private:
    bool Drain() {
        const char* p = pbase();
        std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        while (n > 0 && error_ == 0) {
            DWORD written = 0;
            if (!WriteFile(h_, p, static_cast<DWORD>(n), &written, nullptr))
                error_ = GetLastError();
            else if (written == 0)
                error_ = ERROR_WRITE_FAULT;
            p += written;
            n -= written;
        }
        setp(buffer_.get(), buffer_.get() + kBufferSize);
        return error_ == 0;
    }

    HANDLE h_;
    std::unique_ptr<char[]> buffer_;
    DWORD error_ = 0;
};

std::string FolderOf(const std::string& path) {
    std::size_t sep = path.find_last_of("\\/");
    if (sep == std::string::npos)
        return ".";
    // "C:\name" lives in "C:\", not in "C:".
    if (sep == 2 && path[1] == ':')
        return path.substr(0, 3);
    return path.substr(0, sep);
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolders(const std::string& folder) {
    if (IsFolder(folder))
        return;
    std::string parent = FolderOf(folder);
    if (parent != folder && parent != "." && !parent.empty())
        MakeFolders(parent);
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        Fail("Could not create the folder", folder, GetLastError());
}

// Opens an existing file for reading; null when it is missing.
std::unique_ptr<HandleIStream> OpenStream(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            return nullptr;
        Fail("Could not open", path, err);
    }
    return std::make_unique<HandleIStream>(h, path);
}

// The exclusive lock of a folder, held while the object lives.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder) {
        std::string path = JoinPath(folder, kLockName);
        h_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h_ == INVALID_HANDLE_VALUE)
            Fail("Could not lock", path, GetLastError());
        OVERLAPPED at{};
        if (!LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
            DWORD err = GetLastError();
            CloseHandle(h_);
            Fail("Could not lock", path, err);
        }
    }
    ~FolderLock() {
        OVERLAPPED at{};
        UnlockFileEx(h_, 0, 1, 0, &at);
        CloseHandle(h_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    HANDLE h_;
};

// The new content on its way; removed unless it was moved into place.
class TempFile {
  public:
    explicit TempFile(std::string path) : path_(std::move(path)) {
        // A leftover from a crash may be read-only.
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        h_ = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h_ == INVALID_HANDLE_VALUE)
            Fail("Could not create", path_, GetLastError());
    }
    ~TempFile() {
        Close();
        if (!kept_)
            DeleteFileA(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    HANDLE handle() const { return h_; }
    const std::string& path() const { return path_; }
    void Close() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    HANDLE h_;
    bool kept_ = false;
};

} // namespace

std::string SystemErrorText(int code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
    LocalFree(text);
    // The system's texts end in a full stop and a line break; ours are spliced into sentences.
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::string GetWinDir() {
    std::vector<char> buffer(145, '\0');
    UINT n = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    // A longer path does not fit: the call gives the size it needs, NUL included.
    if (n >= buffer.size()) {
        buffer.assign(n + 1, '\0');
        n = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n >= buffer.size())
            n = 0;
    }
    std::string dir(buffer.data(), n);
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir;
}

bool FileExists(const std::string& path) {
    // OpenFile takes names shorter than its record's buffer; longer ones are asked directly.
    if (path.size() < OFS_MAXPATHNAME) {
        OFSTRUCT record;
        std::memset(&record, 0, sizeof record);
        OpenFile(path.c_str(), &record, OF_EXIST);
        return record.nErrCode != ERROR_FILE_NOT_FOUND;
    }
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
           GetLastError() != ERROR_FILE_NOT_FOUND;
}

char PathSeparator() {
    return '\\';
}

std::unique_ptr<std::istream> OpenForReading(const std::string& path) {
    if (IsFolder(path))
        Fail("Could not open", path, ERROR_ACCESS_DENIED);
    return OpenStream(path);
}

void RewriteFile(const std::string& path, const std::string& tempName,
                 const std::function<void(std::istream* old, std::ostream& out)>& body) {
    const std::string folder = FolderOf(path);
    MakeFolders(folder);
    FolderLock lock(folder);

    if (IsFolder(path))
        Fail("Could not open", path, ERROR_ACCESS_DENIED);
    std::unique_ptr<HandleIStream> old = OpenStream(path);
    TempFile temp(JoinPath(folder, tempName));
    HandleOutBuf outBuf(temp.handle());
    std::ostream out(&outBuf);

    const std::string saving = "Could not save " + path + ": ";
    auto readFailure = [&] {
        DWORD err = old->error() ? old->error() : ERROR_READ_FAULT;
        return IoFailure(
            saving + "read error while copying it: " + SystemErrorText(static_cast<int>(err)),
            static_cast<int>(err));
    };
    try {
        body(old.get(), out);
    } catch (const IoFailure&) {
        throw;
    } catch (const std::exception& e) {
        if (old && old->error())
            throw readFailure();
        if (outBuf.error())
            Fail("Could not save", path, outBuf.error());
        throw IoFailure(saving + e.what());
    }
    if (old && (old->bad() || old->error()))
        throw readFailure();
    out.flush();
    if (!out || outBuf.error())
        Fail("Could not save", path, outBuf.error() ? outBuf.error() : ERROR_WRITE_FAULT);
    if (!FlushFileBuffers(temp.handle()))
        Fail("Could not save", path, GetLastError());
    temp.Close();
    old.reset();
    // Hidden or system files keep those marks, as a rename over them would drop them.
    if (DWORD attributes = GetFileAttributesA(path.c_str()); attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(
            temp.path().c_str(),
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    if (!MoveFileExA(temp.path().c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail("Could not save", path, GetLastError());
    temp.Keep();
}

} // namespace velum
