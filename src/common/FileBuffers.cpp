#include "common/FileBuffers.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>

#include "common/Files.h"
#include "common/IoFailure.h"

namespace velum {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

} // namespace

void FailOn(const std::string& what, const std::string& path, int err) {
    throw IoFailure(what + " " + path + ": " + SystemErrorText(err), err);
}

ReadBuffer::ReadBuffer(std::string path) : path_(std::move(path)), buffer_(new char[kBufferSize]) {
    setg(buffer_.get(), buffer_.get(), buffer_.get());
}

ReadBuffer::int_type ReadBuffer::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    std::size_t n = ReadSome(buffer_.get(), kBufferSize);
    setg(buffer_.get(), buffer_.get(), buffer_.get() + n);
    return n == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize ReadBuffer::xsgetn(char* s, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count) {
        std::streamsize avail = egptr() - gptr();
        if (avail > 0) {
            std::streamsize k = std::min(avail, count - done);
            std::memcpy(s + done, gptr(), static_cast<std::size_t>(k));
            gbump(static_cast<int>(k));
            done += k;
        } else if (count - done >= static_cast<std::streamsize>(kBufferSize)) {
            // Large reads skip the buffer.
            std::size_t n = ReadSome(s + done, static_cast<std::size_t>(count - done));
            if (n == 0)
                break;
            done += static_cast<std::streamsize>(n);
        } else if (traits_type::eq_int_type(underflow(), traits_type::eof())) {
            break;
        }
    }
    return done;
}

ReadBuffer::pos_type ReadBuffer::seekoff(off_type off, std::ios::seekdir dir,
                                         std::ios::openmode which) {
    if (!(which & std::ios::in))
        return pos_type(off_type(-1));
    // The system's position is past what the buffer still holds.
    if (dir == std::ios::cur)
        off -= egptr() - gptr();
    const std::int64_t at = RawSeek(off, dir);
    if (at < 0)
        return pos_type(off_type(-1));
    setg(buffer_.get(), buffer_.get(), buffer_.get());
    return pos_type(off_type(at));
}

ReadBuffer::pos_type ReadBuffer::seekpos(pos_type pos, std::ios::openmode which) {
    return seekoff(off_type(pos), std::ios::beg, which);
}

std::size_t ReadBuffer::ReadSome(char* dst, std::size_t n) {
    if (error_ == 0) {
        int err = 0;
        std::size_t got = RawRead(dst, n, err);
        if (err == 0)
            return got;
        error_ = err;
    }
    FailOn("Could not read", path_, error_);
}

WriteBuffer::WriteBuffer() : buffer_(new char[kBufferSize]) {
    setp(buffer_.get(), buffer_.get() + kBufferSize);
}

WriteBuffer::int_type WriteBuffer::overflow(int_type c) {
    if (!Drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize WriteBuffer::xsputn(const char* s, std::streamsize count) {
    if (count <= epptr() - pptr()) {
        std::memcpy(pptr(), s, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    if (!Drain())
        return 0;
    if (count >= static_cast<std::streamsize>(kBufferSize))
        return WriteAll(s, static_cast<std::size_t>(count)) ? count : 0;
    std::memcpy(pptr(), s, static_cast<std::size_t>(count));
    pbump(static_cast<int>(count));
    return count;
}

bool WriteBuffer::Drain() {
    bool ok = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.get(), buffer_.get() + kBufferSize);
    return ok;
}

bool WriteBuffer::WriteAll(const char* p, std::size_t n) {
    while (n > 0 && error_ == 0) {
        int err = 0;
        std::size_t w = RawWrite(p, n, err);
        if (err != 0)
            error_ = err;
        p += w;
        n -= w;
    }
    return error_ == 0;
}

bool FillNewContent(const std::string& path, std::istream* old, WriteBuffer& outBuf, int ioError,
                    const RewriteBody& body) {
    auto readError = [&] {
        auto* in = old ? dynamic_cast<ReadBuffer*>(old->rdbuf()) : nullptr;
        return in ? in->error() : 0;
    };
    const std::string saving = "Could not save " + path + ": ";
    auto readFailure = [&] {
        int err = readError() ? readError() : ioError;
        return IoFailure(
            saving + "read error while copying the old content: " + SystemErrorText(err), err);
    };
    std::ostream out(&outBuf);
    bool keep = true;
    try {
        keep = body(old, out);
    } catch (const IoFailure&) {
        throw;
    } catch (const std::exception& e) {
        // Streams set to throw hide the system's error behind a generic message.
        if (readError())
            throw readFailure();
        if (outBuf.error())
            FailOn("Could not save", path, outBuf.error());
        throw IoFailure(saving + e.what());
    }
    if (old && (old->bad() || readError()))
        throw readFailure();
    if (!keep)
        return false;
    out.flush();
    if (!out || outBuf.error())
        FailOn("Could not save", path, outBuf.error() ? outBuf.error() : ioError);
    return true;
}

} // namespace velum
