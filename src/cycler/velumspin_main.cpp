// velumspin: applies the next bitmap of the current collection, records the position, ends.
#include <clocale>
#include <exception>

#include "common/CommandLine.h"
#include "common/Files.h"
#include "common/Folders.h"
#include "common/PlatformRegistry.h"
#include "cycler/CyclerDialogs.h"
#include "mainwindow/frmWallPaper.h"

int main(int argc, char** argv) {
    const velum::ProgramInfo info{
        "velumspin", VELUM_VERSION,
        "Shows the next bitmap of the current Velum collection as the desktop wallpaper,\n"
        "records the position and ends. It takes no arguments.\n\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"};
    if (auto status = velum::AnswerCommandLine(argc, argv, info))
        return *status;
    std::setlocale(LC_ALL, "");
    auto dialogs = velum::CreateCyclerDialogs();
    // What the form does not handle itself is told on the same path, never a crash.
    try {
        auto registry = velum::CreatePlatformRegistry();
        velum::frmWallPaper form(*registry, *dialogs,
                                 {velum::StoreFolder(), velum::CurrentFolder()},
                                 velum::kCyclerRole);
        form.CycleOnce();
        if (form.desktopUnreachable())
            dialogs->ShowMessage(form.DesktopFailureText(), "");
        if (form.saveFailed())
            return 1;
        return form.desktopUnreachable() ? 2 : 0;
    } catch (const std::exception& e) {
        dialogs->ShowMessage(std::string("Stopped by an unexpected failure: ") + e.what(), "");
    } catch (...) {
        dialogs->ShowMessage("Stopped by an unexpected failure.", "");
    }
    return 1;
}
