#include "mainwindow/qt/SingleWindow.h"

#include <QSocketNotifier>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/Numbers.h"

namespace velum {

namespace {

constexpr char kReady = 'R';
constexpr int kReplyMs = 5000;
constexpr int kConnectTries = 20; // 100 ms apart: the first may still be between lock and listen

std::string StoreKey(const std::string& folder) {
    char real[PATH_MAX];
    const std::string path = ::realpath(folder.c_str(), real) ? real : folder;
    return "velumdesk-" + std::to_string(::getuid()) + "-" + TextKey(path);
}

// An abstract socket: nothing is left in a folder when the window dies.
socklen_t Address(const std::string& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

} // namespace

SingleWindow::SingleWindow(const std::string& storeFolder) {
    ::mkdir(storeFolder.c_str(), 0700); // a first run's store: the lock file goes in it
    name_ = StoreKey(storeFolder);
    // Close-on-exec: a program the window starts must not keep the store locked after it.
    lock_ = ::open((storeFolder + "/velumdesk.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0)
        return;
    for (int round = 0; round < 2; ++round) {
        if (TakeLock()) {
            Listen();
            return;
        }
        if (AskOpenWindow()) {
            outcome_ = Outcome::Raised;
            return;
        }
    }
    outcome_ = Outcome::Unreached;
}

SingleWindow::~SingleWindow() {
    delete notifier_;
    if (listener_ >= 0)
        ::close(listener_);
    if (lock_ >= 0)
        ::close(lock_); // releases the lock
}

// False only when another process holds it; a file system without locks guards nothing.
bool SingleWindow::TakeLock() {
    if (::flock(lock_, LOCK_EX | LOCK_NB) == 0)
        return true;
    return errno != EWOULDBLOCK;
}

bool SingleWindow::Listen() {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0)
        return false;
    sockaddr_un address;
    const socklen_t length = Address(name_, address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0) {
        ::close(listener_);
        listener_ = -1;
        return false;
    }
    notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Answer(); });
    return true;
}

void SingleWindow::Answer() {
    const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return;
    ucred who = {};
    socklen_t size = sizeof who;
    // The name is visible to every user of the machine: only this user's starts are answered.
    if (::getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &who, &size) == 0 && who.uid == ::getuid()) {
        if (onRaise)
            onRaise();
        if (::send(peer, &kReady, 1, MSG_NOSIGNAL) < 0) {
            // The later start gave up waiting: it says so itself.
        }
    }
    ::close(peer);
}

bool SingleWindow::AskOpenWindow() {
    sockaddr_un address;
    const socklen_t length = Address(name_, address);
    for (int i = 0; i < kConnectTries; ++i) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return false;
        if (::connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0) {
            pollfd p{s, POLLIN, 0};
            char reply = 0;
            const bool ready =
                ::poll(&p, 1, kReplyMs) == 1 && ::recv(s, &reply, 1, 0) == 1 && reply == kReady;
            ::close(s);
            return ready;
        }
        ::close(s);
        usleep(100000);
    }
    return false;
}

} // namespace velum
