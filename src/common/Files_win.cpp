#include "common/Files.h"

#include <algorithm>
#include <istream>
#include <iterator>
#include <memory>
#include <ostream>
#include <vector>

#include <windows.h>

#include "common/FileBuffers.h"
#include "common/IoFailure.h"
#include "common/WideText.h"

namespace velum {

namespace {

constexpr const char* kLockName = "~velum.lock";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Reads a handle, which it closes at the end.
class HandleReadBuffer final : public ReadBuffer {
  public:
    HandleReadBuffer(HANDLE h, const std::string& path) : ReadBuffer(path), h_(h) {}
    ~HandleReadBuffer() override { CloseHandle(h_); }

  protected:
    std::size_t RawRead(char* dst, std::size_t n, int& err) override {
        DWORD got = 0;
        if (!ReadFile(h_, dst, static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30)), &got,
                      nullptr))
            err = static_cast<int>(GetLastError());
        return got;
    }
    std::int64_t RawSeek(std::int64_t offset, std::ios::seekdir dir) override {
        const DWORD method = dir == std::ios::beg   ? FILE_BEGIN
                             : dir == std::ios::cur ? FILE_CURRENT
                                                    : FILE_END;
        LARGE_INTEGER distance, at;
        distance.QuadPart = offset;
        if (!SetFilePointerEx(h_, distance, &at, method))
            return -1;
        return at.QuadPart;
    }

  private:
    HANDLE h_;
};

// A text file of the store, given as UTF-8. One written by an older install in the ANSI code
// page is not valid UTF-8: it is decoded from that code page, so the next save writes UTF-8.
// The whole file is read at the first read, as the check needs every byte.
class TextReadBuffer final : public ReadBuffer {
  public:
    TextReadBuffer(HANDLE h, const std::string& path) : ReadBuffer(path), raw_(h, path) {}

  protected:
    std::size_t RawRead(char* dst, std::size_t n, int& err) override {
        if (!Load(err))
            return 0;
        n = std::min(n, text_.size() - at_);
        text_.copy(dst, n, at_);
        at_ += n;
        return n;
    }
    std::int64_t RawSeek(std::int64_t offset, std::ios::seekdir dir) override {
        int err = 0;
        if (!Load(err))
            return -1;
        const std::int64_t base = dir == std::ios::beg   ? 0
                                  : dir == std::ios::cur ? static_cast<std::int64_t>(at_)
                                                         : static_cast<std::int64_t>(text_.size());
        if (base + offset < 0 || base + offset > static_cast<std::int64_t>(text_.size()))
            return -1;
        at_ = static_cast<std::size_t>(base + offset);
        return base + offset;
    }

  private:
    bool Load(int& err) {
        if (loaded_)
            return true;
        std::string bytes;
        try {
            bytes.assign(std::istreambuf_iterator<char>(&raw_), {});
        } catch (const IoFailure&) {
            err = raw_.error(); // told again, as this buffer's own, by the caller
            return false;
        }
        text_ = Utf8FromAnsiUnlessUtf8(std::move(bytes));
        loaded_ = true;
        return true;
    }

    HandleReadBuffer raw_;
    std::string text_;
    std::size_t at_ = 0;
    bool loaded_ = false;
};

template <typename Buffer> class HandleIStream final : public std::istream {
  public:
    HandleIStream(HANDLE h, const std::string& path) : std::istream(nullptr), buf_(h, path) {
        rdbuf(&buf_);
    }

  private:
    Buffer buf_;
};

// Writes a handle that someone else closes.
class HandleWriteBuffer final : public WriteBuffer {
  public:
    explicit HandleWriteBuffer(HANDLE h) : h_(h) {}

  protected:
    std::size_t RawWrite(const char* src, std::size_t n, int& err) override {
        DWORD written = 0;
        if (!WriteFile(h_, src, static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30)), &written,
                       nullptr))
            err = static_cast<int>(GetLastError());
        else if (written == 0)
            err = ERROR_WRITE_FAULT;
        return written;
    }

  private:
    HANDLE h_;
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
    DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolders(const std::string& folder) {
    if (IsFolder(folder))
        return;
    std::string parent = FolderOf(folder);
    if (parent != folder && parent != "." && !parent.empty())
        MakeFolders(parent);
    if (!CreateDirectoryW(Widen(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        FailOn("Could not create the folder", folder, GetLastError());
}

// Closes the handle and throws IoFailure unless it is a file on disk: a device such as CON or a
// pipe would block or never end.
void RefuseSpecialFile(HANDLE h, const std::string& what, const std::string& path) {
    const DWORD type = GetFileType(h);
    if (type == FILE_TYPE_DISK)
        return;
    const DWORD err = GetLastError();
    CloseHandle(h);
    if (type == FILE_TYPE_UNKNOWN && err != NO_ERROR)
        FailOn(what, path, err);
    throw IoFailure(what + " " + path + ": " + kNotRegularFile, ERROR_INVALID_FUNCTION);
}

// Opens an existing file for reading, its bytes as they are or as text; null when it is missing.
template <typename Buffer = HandleReadBuffer>
std::unique_ptr<std::istream> OpenStream(const std::string& path) {
    // A folder in the file's place is reported, never read as the file.
    if (IsFolder(path))
        FailOn("Could not open", path, ERROR_ACCESS_DENIED);
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            return nullptr;
        FailOn("Could not open", path, err);
    }
    RefuseSpecialFile(h, "Could not open", path);
    return std::make_unique<HandleIStream<Buffer>>(h, path);
}

// The exclusive lock of a folder, held while the object lives.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder) {
        std::string path = JoinPath(folder, kLockName);
        h_ = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h_ == INVALID_HANDLE_VALUE)
            FailOn("Could not lock", path, GetLastError());
        RefuseSpecialFile(h_, "Could not lock", path);
        OVERLAPPED at{};
        if (!LockFileEx(h_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
            DWORD err = GetLastError();
            CloseHandle(h_);
            FailOn("Could not lock", path, err);
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
    explicit TempFile(std::string path) : path_(std::move(path)), wide_(Widen(path_)) {
        // A leftover from a crash may be read-only.
        SetFileAttributesW(wide_.c_str(), FILE_ATTRIBUTE_NORMAL);
        h_ = CreateFileW(wide_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h_ == INVALID_HANDLE_VALUE)
            FailOn("Could not create", path_, GetLastError());
    }
    ~TempFile() {
        Close();
        if (!kept_) {
            SetFileAttributesW(wide_.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(wide_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    HANDLE handle() const { return h_; }
    const std::wstring& widePath() const { return wide_; }
    void Close() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    std::wstring wide_;
    HANDLE h_;
    bool kept_ = false;
};

} // namespace

std::string SystemErrorText(int code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out =
        n && text ? Narrow(std::wstring_view(text, n)) : "error " + std::to_string(code);
    LocalFree(text);
    // The system's texts end in a full stop and a line break; ours are spliced into sentences.
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::string GetWinDir() {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    UINT n = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    // A longer path does not fit: the call gives the size it needs, NUL included.
    if (n >= buffer.size()) {
        buffer.assign(n + 1, L'\0');
        n = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n >= buffer.size())
            n = 0;
    }
    std::string dir = Narrow(std::wstring_view(buffer.data(), n));
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir;
}

bool FileExists(const std::string& path) {
    // As OpenFile's OF_EXIST answered: only "file not found" is missing; a folder that is not
    // there (path not found) or a file that cannot be opened counts as present.
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           GetLastError() != ERROR_FILE_NOT_FOUND;
}

char PathSeparator() {
    return '\\';
}

std::unique_ptr<std::istream> OpenForReading(const std::string& path) {
    return OpenStream(path);
}

std::unique_ptr<std::istream> OpenTextForReading(const std::string& path) {
    return OpenStream<TextReadBuffer>(path);
}

bool RewriteFileIf(const std::string& path, const std::string& tempName, const RewriteBody& body) {
    const std::string folder = FolderOf(path);
    MakeFolders(folder);
    FolderLock lock(folder);

    std::unique_ptr<std::istream> old = OpenStream<TextReadBuffer>(path);
    TempFile temp(JoinPath(folder, tempName));
    HandleWriteBuffer out(temp.handle());
    if (!FillNewContent(path, old.get(), out, ERROR_IO_DEVICE, body))
        return false; // the temporary file goes, the old file stays
    if (!FlushFileBuffers(temp.handle()))
        FailOn("Could not save", path, GetLastError());
    temp.Close();
    old.reset();
    // The new file takes the old one's attributes. Windows refuses to replace a read-only file,
    // which is reported and leaves it as it was.
    const std::wstring target = Widen(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(temp.widePath().c_str(),
                           attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    // A reader that does not share deletion (a virus scanner, a backup, the search indexer)
    // holds the file for a moment: the replace is tried for about a second before it fails.
    for (int attempt = 1; !MoveFileExW(temp.widePath().c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
         ++attempt) {
        const DWORD error = GetLastError();
        const bool held =
            !readOnly && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION);
        if (!held || attempt == 20)
            FailOn("Could not save", path, error);
        Sleep(50);
    }
    temp.Keep();
    return true;
}

} // namespace velum
