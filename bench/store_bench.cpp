// Times the collection store on a velum.cfg of 100 collections of 1,000 bitmaps each and a full
// history (about 100,000 lines) against a plain copy of the same file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/PlatformRegistry.h"
#include "cycler/ConsoleDialogs.h"
#include "mainwindow/frmWallPaper.h"
#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"

namespace fs = std::filesystem;
using namespace velum;

namespace {

void Generate(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (int h = 0; h < 10; ++h)
        WriteConfigRecord(out, "Bmp", "",
                          "/home/ann/Pictures/history/" + std::to_string(h) + ".bmp");
    for (int c = 0; c < 100; ++c) {
        std::string name = "Collection " + std::to_string(c);
        WriteConfigRecord(out, "Index", name, " 17");
        WriteConfigRecord(out, "Time", name, "2026-12-06 19:04:05");
        WriteConfigRecord(out, "CurrentIndex", name, " 16");
        for (int b = 0; b < 1000; ++b)
            WriteConfigRecord(out, "Bmp", name,
                              "/home/ann/Pictures/" + name + "/wallpaper-" + std::to_string(b) +
                                  ".bmp");
        WriteConfigRecordNumber(out, "Max", name, 1000);
        for (const char* key : {"Minutes", "Hours", "Days", "CycleOptions", "TileWallpaper"})
            WriteConfigRecord(out, key, name, "0");
    }
}

double MedianMs(int runs, const std::function<void()>& fn) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        fn();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    fs::path dir = fs::temp_directory_path() / ("velum-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    fs::create_directories(dir / "velumor");
    const std::string cfg = ConfigFilePath(GetWinDir());
    Generate(cfg);
    std::size_t lines = 0;
    {
        std::ifstream in(cfg, std::ios::binary);
        std::string l;
        while (std::getline(in, l))
            ++lines;
    }

    auto registry = CreatePlatformRegistry();
    ConsoleDialogs dialogs(std::cerr, "store_bench");
    frmWallPaper form(*registry, dialogs, {GetWinDir(), dir.string()});
    const std::string copyTarget = (dir / "copy.cfg").string();

    double copy = MedianMs(
        runs, [&] { fs::copy_file(cfg, copyTarget, fs::copy_options::overwrite_existing); });
    double load = MedianMs(runs, [&] { form.LoadBmpCollection("Collection 50"); });
    if (form.lstRotateBmps.ListCount() != 1000 || form.cmbLastBmps.ListCount() != 10) {
        std::fprintf(stderr, "the collection did not load\n");
        return 1;
    }
    form.cmbCollection.SetText("Collection 50");
    for (const char* name : {"Collection 0", "Collection 99"})
        form.cmbCollection.AddItem(name);
    double combo = MedianMs(runs, [&] { form.SaveBmpCombo(); });
    double collection = MedianMs(runs, [&] { form.SaveBmpCollection("Collection 50"); });

    std::printf("velum.cfg: %zu lines, %.1f MB; median of %d runs\n", lines,
                fs::file_size(cfg) / 1e6, runs);
    std::printf("%-28s %9s %9s\n", "operation", "ms", "x copy");
    std::printf("%-28s %9.2f %9.2f\n", "copy of the file", copy, 1.0);
    std::printf("%-28s %9.2f %9.2f\n", "LoadBmpCollection", load, load / copy);
    std::printf("%-28s %9.2f %9.2f\n", "SaveBmpCombo", combo, combo / copy);
    std::printf("%-28s %9.2f %9.2f\n", "SaveBmpCollection", collection, collection / copy);
    fs::remove_all(dir);
    return 0;
}
