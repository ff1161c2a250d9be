// Times AddAllBmps of a folder of 15,000 bitmaps into a rotation list of 15,000 entries, 5,000
// of which are paths of that folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/Files.h"
#include "common/PlatformRegistry.h"
#include "cycler/ConsoleDialogs.h"
#include "mainwindow/frmWallPaper.h"

namespace fs = std::filesystem;
using namespace velum;

int main() {
    fs::path dir = fs::temp_directory_path() / ("velum-rotation-" + std::to_string(::getpid()));
    fs::create_directories(dir / "pics");
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    const int kFiles = 15000;
    for (int i = 0; i < kFiles; ++i)
        std::ofstream(dir / "pics" / ("wallpaper-" + std::to_string(i) + ".bmp"));

    auto registry = CreatePlatformRegistry();
    ConsoleDialogs dialogs(std::cerr, "rotation_bench");
    frmWallPaper form(*registry, dialogs, {GetWinDir(), dir.string()});
    form.Dir1.SetPath((dir / "pics").string());
    for (int i = 0; i < 10000; ++i)
        form.lstRotateBmps.AddItem("/elsewhere/other-" + std::to_string(i) + ".bmp");
    for (int i = 0; i < 5000; ++i)
        form.lstRotateBmps.AddItem(form.filWinBmps.FullPath(i * 3));

    auto start = std::chrono::steady_clock::now();
    form.AddAllBmps();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("AddAllBmps: %d files into %d entries -> %d entries in %.1f ms (target < 200 ms)\n",
                kFiles, 15000, form.lstRotateBmps.ListCount(), ms);
    fs::remove_all(dir);
    return form.lstRotateBmps.ListCount() == 25000 ? 0 : 1;
}
