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
#include "mainwindow/qt/SingleWindow.h"

namespace {

int signalPipe[2] = {-1, -1};

// What the session-end save needs when the toolkit ends the process with exit() (a display
// that went away): set while the window lives.
struct Live {
    velum::frmWallPaper* form = nullptr;
    velum::MainWindowView* view = nullptr;
    velum::QtDialogs* dialogs = nullptr;
} live;
bool displayLost = false;
QtMessageHandler toolkitMessages = nullptr;

// The xcb plugin ends the process with exit(1) when the X connection breaks; its warning is
// replaced by one line that says what became of the session.
void OnToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("X11 connection broke"))) {
        displayLost = true;
        return;
    }
    if (toolkitMessages)
        toolkitMessages(type, context, text);
}

// Runs at exit(): the session-end save, with no question, no drawing and no timer.
void SaveOnExit() {
    if (!live.view || live.view->driver().Ended())
        return;
    velum::FormDriver& driver = live.view->driver();
    driver.Sync = nullptr;
    driver.SwitchTimer = nullptr;
    driver.CancelModal = nullptr;
    driver.Quit = nullptr;
    live.form->MousePointerChanged = nullptr;
    live.dialogs->answerNoWithoutAsking = true;
    driver.EndNow();
    if (displayLost)
        std::fputs(live.form->saveFailed()
                       ? "velumdesk: the display was lost; the session could not all be saved\n"
                       : "velumdesk: the display was lost; the session was saved\n",
                   stderr);
}

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
    // The browser's first folder is read while the toolkit connects to the display.
    velum::ReadFolderAhead(velum::CurrentFolder());

    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/velum.svg")));
    toolkitMessages = qInstallMessageHandler(OnToolkitMessage);
    std::atexit(SaveOnExit);

    velum::QtDialogs dialogs;
    // The end of the session: the exit sequence runs as for a closed window, but no one is
    // left to answer a question. An end during the start-up's messages waits for the window.
    velum::MainWindowView* shown = nullptr;
    bool endAsked = false;
    auto endSession = [&] {
        dialogs.answerNoWithoutAsking = true;
        dialogs.AnswerOpenBox();
        if (shown)
            shown->endSession();
        else
            endAsked = true;
    };
    // Before the window: a message box of the start-up runs a loop of its own.
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

    const std::string store = velum::StoreFolder();
    velum::SingleWindow single(store);
    if (single.outcome() == velum::SingleWindow::Outcome::Raised)
        return 0;
    if (single.outcome() == velum::SingleWindow::Outcome::Unreached) {
        std::fputs("velumdesk: Velum is already open on this store\n", stderr);
        dialogs.ShowMessage("Velum is already open.", velum::kProgramTitle);
        return 1;
    }

    auto registry = velum::CreatePlatformRegistry();
    velum::frmWallPaper form(*registry, dialogs, {store, velum::CurrentFolder()});

    single.onRaise = [&] {
        if (shown) {
            shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
            shown->show();
            shown->raise();
            shown->activateWindow();
        }
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->raise();
            box->activateWindow();
        }
    };

    velum::MainWindowView view(form);
    view.onAbout = [&] { velum::ShowAboutDialog(&view, *registry, dialogs); };
    view.driver().Complain = [&](const std::string& what) {
        dialogs.ShowMessage(what, velum::kProgramTitle);
    };
    shown = &view;
    live = {&form, &view, &dialogs};

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&](QSessionManager&) { endSession(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, endSession);

    int status = 0;
    if (endAsked) {
        view.endSession(); // the loop is not running yet: nothing to quit
    } else {
        view.show();
        status = app.exec();
    }
    live = {};
    // A save of the run that failed was told; the status says so too.
    return status != 0 ? status : form.saveFailed() ? 1 : 0;
}
