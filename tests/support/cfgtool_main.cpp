// velum_cfgtool write | dump NAME...: writes a known set of collections to velum.cfg through the
// form, or prints those the form reads back, so that the files of one platform read on the other.
#include <iostream>

#include "common/Folders.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

static MemoryRegistry registry;
static FakeDialogs dialogs;

static void Fill(frmWallPaper& form, const char* name, const std::vector<std::string>& bitmaps,
                 OptionButton& style, OptionButton& order, const char* days, const char* minutes) {
    form.cmbCollection.SetText(name);
    form.cmbCollection_LostFocus();
    form.cmdRemoveAll_click();
    for (const auto& b : bitmaps)
        form.lstRotateBmps.AddItem(b);
    form.styleGroup.Select(style);
    form.orderGroup.Select(order);
    form.txtDays.SetText(days);
    form.txtMinutes.SetText(minutes);
    form.mnuSave_Click();
}

static int Write() {
    frmWallPaper form(registry, dialogs, {GetWinDir(), CurrentFolder()});
    form.Form_Load();
    Fill(form, "Default", {R"(C:\WINDOWS\Clouds.bmp)", R"(C:\WINDOWS\Setup.bmp)"}, form.optTile,
         form.optAscending, "0", "0");
    Fill(form, "Empty", {}, form.optNone, form.optRandom, "0", "0");
    Fill(form, "Nature", {R"(C:\My Pictures\Sea, sun.bmp)", "/home/ann/Meadow.bmp"}, form.optCenter,
         form.optDescending, "1", "30");
    form.AddLastBmp(R"(C:\WINDOWS\Setup.bmp)");
    form.NextIndex = 2;
    form.CurrentIndex = 1;
    form.LastChanged = DateValue::FromDate(DateTime{2026, 12, 6, 19, 4, 5});
    form.mnuExit_Click();
    return form.saveFailed() ? 1 : 0;
}

static int Dump(int count, char** names) {
    for (int i = 0; i < count; ++i) {
        frmWallPaper form(registry, dialogs, {GetWinDir(), CurrentFolder()});
        form.LoadBmpCollection(names[i]);
        form.LoadTileSetting(names[i]);
        std::cout << "[" << names[i] << "]\n";
        for (const auto& b : form.lstRotateBmps.items())
            std::cout << "bitmap " << b << '\n';
        for (const auto& h : form.cmbLastBmps.items())
            std::cout << "history " << h << '\n';
        std::cout << "style " << form.optTile.Value() << form.optCenter.Value() << "\norder "
                  << form.optAscending.Value() << form.optDescending.Value() << "\nfrequency "
                  << form.txtDays.Text() << "d " << form.txtMinutes.Text() << "m\nnext "
                  << form.NextIndex << " current " << form.CurrentIndex << "\nchanged "
                  << FormatIsoDateTime(form.LastChanged.Moment()) << '\n';
    }
    return dialogs.messages.empty() ? 0 : 1;
}

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    return command == "write" ? Write() : command == "dump" ? Dump(argc - 2, argv + 2) : 2;
}
