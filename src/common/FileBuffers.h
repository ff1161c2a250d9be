#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ios>
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>

#include "common/Files.h"

namespace velum {

// Why a FIFO, a device or another file that is not a plain file on disk is refused.
inline constexpr char kNotRegularFile[] = "not a regular file";

// Throws IoFailure: "`what` `path`: " and the system's text for `err`.
[[noreturn]] void FailOn(const std::string& what, const std::string& path, int err);

// Reads a system file through a 64 KiB buffer; the platform half supplies the raw read. A failed
// read throws from underflow, which the istream turns into badbit; the error stays recorded so
// that callers can tell it from the end of the file.
class ReadBuffer : public std::streambuf {
  public:
    explicit ReadBuffer(std::string path);
    // The system's error number of the failed read, 0 when none failed.
    int error() const { return error_; }

  protected:
    // Reads up to `n` bytes into `dst`: the count, 0 at the end; on failure sets `err`.
    virtual std::size_t RawRead(char* dst, std::size_t n, int& err) = 0;
    // Moves the file position to `offset` from the start, the current position or the end
    // (std::ios::beg, cur, end): the new position, -1 when the file cannot seek.
    virtual std::int64_t RawSeek(std::int64_t offset, std::ios::seekdir dir) = 0;

    int_type underflow() override;
    std::streamsize xsgetn(char* s, std::streamsize count) override;
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios::openmode which) override;

  private:
    std::size_t ReadSome(char* dst, std::size_t n);

    std::string path_;
    std::unique_ptr<char[]> buffer_;
    int error_ = 0;
};

// Writes a system file through a 64 KiB buffer; the platform half supplies the raw write. After
// the first failed write it accepts nothing more and keeps the error number for the message.
class WriteBuffer : public std::streambuf {
  public:
    WriteBuffer();
    int error() const { return error_; }

  protected:
    // Writes up to `n` bytes of `src`: the count written, 0 with `err` set on failure.
    virtual std::size_t RawWrite(const char* src, std::size_t n, int& err) = 0;

    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize count) override;
    int sync() override { return Drain() ? 0 : -1; }

  private:
    bool Drain();
    bool WriteAll(const char* p, std::size_t n);

    std::unique_ptr<char[]> buffer_;
    int error_ = 0;
};

// The part of a safe rewrite that both platforms share: runs `body` with the old content (null
// when there is none) and a stream into `out`, then flushes it. False when `body` abandons the
// rewrite. Every failure, of `body`, of a read of the old content or of a write, throws IoFailure
// naming `path` with the system's reason (`ioError` when the system gave none).
bool FillNewContent(const std::string& path, std::istream* old, WriteBuffer& out, int ioError,
                    const RewriteBody& body);

} // namespace velum
