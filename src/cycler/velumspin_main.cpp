// velumspin: applies the next bitmap of the current collection, records the position, ends.
#include <clocale>

#include "common/PlatformRegistry.h"
#include "cycler/CyclerDialogs.h"
#include "mainwindow/frmWallPaper.h"

int main() {
    std::setlocale(LC_ALL, "");
    auto registry = velum::CreatePlatformRegistry();
    auto dialogs = velum::CreateCyclerDialogs();
    velum::frmCycler form(*registry, *dialogs);
    form.Form_Load();
    if (form.desktopUnreachable()) {
        const std::string& why = form.desktopFailure();
        dialogs->ShowMessage("No desktop could be reached" + (why.empty() ? "" : " (" + why + ")") +
                                 "; the wallpaper was not changed.",
                             "");
    }
    if (form.saveFailed())
        return 1;
    return form.desktopUnreachable() ? 2 : 0;
}
