// sway's IPC socket: one RUN_COMMAND message with i3's framing, and sway's answer.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/DesktopBackends.h"

namespace velum {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::uint32_t kRunCommand = 0;
constexpr std::size_t kHeaderSize = sizeof kMagic + 8;
// A wallpaper command's answer is a few dozen bytes; anything far larger is not sway.
constexpr std::uint32_t kLargestAnswer = 1 << 20;

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0)
            close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// Moves all `size` bytes through `step` (a send or a receive of what is left at an offset),
// again after an interruption; false when the peer goes or fails.
template <class Step> bool Transfer(std::size_t size, Step step) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    return Transfer(size,
                    [&](std::size_t at) { return send(fd, data + at, size - at, MSG_NOSIGNAL); });
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
    return Transfer(size, [&](std::size_t at) { return recv(fd, data + at, size - at, 0); });
}

// The text of the first `"key": "..."` string in a JSON answer, its escapes undone.
std::string JsonString(const std::string& json, const std::string& key) {
    std::size_t at = json.find("\"" + key + "\"");
    if (at == std::string::npos)
        return {};
    at = json.find_first_not_of(" \t\r\n", at + key.size() + 2);
    if (at == std::string::npos || json[at] != ':')
        return {};
    at = json.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || json[at] != '"')
        return {};
    std::string text;
    for (++at; at < json.size() && json[at] != '"'; ++at) {
        if (json[at] != '\\' || at + 1 >= json.size()) {
            text += json[at];
            continue;
        }
        const char e = json[++at];
        text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'u' ? '?' : e;
        if (e == 'u')
            at += 4; // sway's messages are ASCII; an escaped code point is only shown
    }
    return text;
}

// Whether every command of the answer succeeded: each `"success"` is followed by `true`.
bool Succeeded(const std::string& json) {
    bool any = false;
    for (std::size_t at = json.find("\"success\""); at != std::string::npos;
         at = json.find("\"success\"", at + 1)) {
        const std::size_t value = json.find_first_not_of(" \t\r\n:", at + 9);
        if (value == std::string::npos || json.compare(value, 4, "true") != 0)
            return false;
        any = true;
    }
    return any;
}

} // namespace

std::string SwayQuoted(const std::string& text) {
    // Two readers take the path apart: sway's command parser, which keeps what a pair of double
    // quotes holds and leaves backslashes, then a shell-like word expansion. Single quotes
    // keep everything literal for the latter; a quote of either kind goes outside them behind a
    // backslash, which both readers take as "this character as it is".
    std::string word = "\"'";
    for (const char c : text) {
        if (c == '\'' || c == '"')
            word += std::string("'\\") + c + "'";
        else
            word += c;
    }
    return word + "'\"";
}

std::string SwayBackgroundCommand(const WallpaperRequest& request) {
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06x", request.background & 0xFFFFFFu);
    if (!request.picture)
        return std::string("output * bg ") + colour + " solid_color";
    return "output * bg " + SwayQuoted(request.path) +
           ForFit(request.fit, " center ", " tile ", " fill ", " fit ", " stretch ") + colour;
}

std::string SwayRunCommand(const std::string& socketPath, const std::string& command,
                           std::string& failure) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        failure = "sway's socket path (SWAYSOCK) is unusable";
        return {};
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A sway that hangs must not hang the program.
    const timeval wait{5, 0};
    if (socket.fd() < 0 ||
        setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0 ||
        setsockopt(socket.fd(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0 ||
        connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        failure = "cannot reach sway at " + socketPath + ": " + std::strerror(errno);
        return {};
    }
    std::string message(kMagic, sizeof kMagic);
    const auto length = static_cast<std::uint32_t>(command.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&kRunCommand), 4);
    message += command;
    char header[kHeaderSize];
    std::uint32_t answerLength = 0, answerType = 0;
    if (!SendAll(socket.fd(), message.data(), message.size()) ||
        !ReceiveAll(socket.fd(), header, sizeof header) ||
        std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        failure = "sway gave no answer";
        return {};
    }
    std::memcpy(&answerLength, header + sizeof kMagic, 4);
    std::memcpy(&answerType, header + sizeof kMagic + 4, 4);
    std::string answer(answerLength <= kLargestAnswer ? answerLength : 0, '\0');
    if (answerType != kRunCommand || answerLength > kLargestAnswer ||
        !ReceiveAll(socket.fd(), answer.data(), answer.size())) {
        failure = "sway gave no answer";
        return {};
    }
    return answer;
}

bool SetSwayWallpaper(const WallpaperRequest& request, std::string& failure) {
    const char* socketPath = std::getenv("SWAYSOCK");
    const std::string answer =
        SwayRunCommand(socketPath ? socketPath : "", SwayBackgroundCommand(request), failure);
    if (answer.empty())
        return false;
    if (Succeeded(answer))
        return true;
    const std::string error = JsonString(answer, "error");
    failure = "sway: " + (error.empty() ? answer : error);
    return false;
}

} // namespace velum
