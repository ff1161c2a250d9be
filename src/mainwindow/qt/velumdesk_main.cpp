// velumdesk: the wallpaper manager's window.
#include <QApplication>
#include <QIcon>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "about/qt/AboutDialog.h"
#include "common/CommandLine.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/PlatformRegistry.h"
#include "mainwindow/frmWallPaper.h"
#include "mainwindow/qt/MainWindowView.h"
#include "mainwindow/qt/QtDialogs.h"

namespace {

int signalPipe[2] = {-1, -1};

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Only writes a byte: the program reads it in its own event loop.
void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (::write(signalPipe[0], &byte, 1) < 0) {
        // The pipe is full: a byte is already waiting.
    }
    errno = saved;
}

// SIGTERM and SIGHUP end the session; returns false when they cannot be caught.
bool CatchEndSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t ends;
    sigemptyset(&ends);
    for (int s : {SIGTERM, SIGHUP}) {
        ::sigaction(s, &action, nullptr);
        sigaddset(&ends, s);
    }
    // A signal that came before the handlers were in place is taken now.
    ::sigprocmask(SIG_UNBLOCK, &ends, nullptr);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const velum::ProgramInfo info{
        "velumdesk", VELUM_VERSION,
        "The Velum wallpaper manager's window: collections of bitmaps shown in turn as the\n"
        "desktop wallpaper. Other options are the Qt toolkit's (-platform, -style).\n\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n",
        false};
    if (auto status = velum::AnswerCommandLine(argc, argv, info))
        return *status;
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
        std::fputs("velumdesk: no display to show the window on\n", stderr);
        return 1;
    }
    const bool caught = CatchEndSignals();

    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/velum.svg")));

    auto registry = velum::CreatePlatformRegistry();
    velum::QtDialogs dialogs;
    velum::frmWallPaper form(*registry, dialogs, {velum::GetWinDir(), velum::CurrentFolder()});
    velum::MainWindowView view(form);
    view.onAbout = [&] { velum::ShowAboutDialog(&view, *registry, dialogs); };
    view.driver().Complain = [&](const std::string& what) {
        dialogs.ShowMessage(what, velum::kProgramTitle);
    };

    // The end of the session: the exit sequence runs as for a closed window, but no one is
    // left to answer a question.
    auto endSession = [&] {
        dialogs.answerNoWithoutAsking = true;
        dialogs.AnswerOpenBox();
        view.endSession();
    };
    QSocketNotifier* notifier = nullptr;
    if (caught) {
        notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char bytes[16];
            while (::read(signalPipe[1], bytes, sizeof bytes) > 0) {
            }
            endSession();
        });
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { endSession(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, endSession);

    view.show();
    return app.exec();
}
