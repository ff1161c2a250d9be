// Times drawing photos the way the desktop and the window do, and the peak resident size of a
// fresh process doing it (as velumspin would): a 6000x4000 baseline JPEG filled onto 1920x1080,
// a 3840x2160 PNG fitted onto 1920x1080, and that JPEG previewed in a 400x300 box, beside the
// least that preview can cost.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/PictureFile.h"
#include "support/PhotoWriters.h"

namespace fs = std::filesystem;
using namespace velum;

namespace {

// Smooth light with grain, about as hard to compress as a photo.
std::vector<std::uint32_t> Photo(int w, int h) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    std::minstd_rand noise(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto grain = static_cast<int>(noise() % 17) - 8;
            const auto c = [&](int v) {
                return static_cast<std::uint32_t>(std::clamp(v + grain, 0, 255));
            };
            p[static_cast<std::size_t>(y) * w + x] =
                c(x * 255 / w) << 16 | c(y * 255 / h) << 8 | c(128 + (x / 97 + y / 61) % 5 * 20);
        }
    return p;
}

double MedianMs(int runs, const std::function<bool()>& fn) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!fn())
            return -1;
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// One operation in this process, as a child of the bench: prints its median and peak.
int RunOne(const std::string& op, const std::string& path, int runs) {
    std::vector<std::uint32_t> screen;
    std::function<bool()> fn;
    if (op == "fill") {
        screen.resize(1920 * 1080);
        fn = [&] {
            const auto file = PictureFile::Open(path);
            if (!file)
                return false;
            // Scaled to cover the screen, centred; what overflows is not drawn.
            const double s = std::max(1920.0 / file->width(), 1080.0 / file->height());
            const int w = static_cast<int>(file->width() * s + 0.5);
            const int h = static_cast<int>(file->height() * s + 0.5);
            return file->Draw(w, h, (w - 1920) / 2, (h - 1080) / 2, 1920, 1080, screen.data(),
                              1920);
        };
    } else if (op == "fit") {
        screen.resize(1920 * 1080);
        fn = [&] {
            const auto file = PictureFile::Open(path);
            if (!file)
                return false;
            const double s = std::min(1920.0 / file->width(), 1080.0 / file->height());
            const int w = static_cast<int>(file->width() * s + 0.5);
            const int h = static_cast<int>(file->height() * s + 0.5);
            return file->Draw(w, h, 0, 0, w, h,
                              screen.data() + (1080 - h) / 2 * 1920 + (1920 - w) / 2, 1920);
        };
    } else if (op == "preview") {
        fn = [&] { return DecodePictureFileFor(path, 400, 300, true).has_value(); };
    } else if (op == "eighth") {
        // The least any preview of the file can cost: libjpeg-turbo alone decoding it at an
        // eighth, at its fastest settings, each row dropped.
        fn = [&] {
            std::FILE* in = std::fopen(path.c_str(), "rb");
            if (!in)
                return false;
            jpeg_decompress_struct jpeg{};
            jpeg_error_mgr errors{};
            jpeg.err = jpeg_std_error(&errors);
            jpeg_create_decompress(&jpeg);
            jpeg_stdio_src(&jpeg, in);
            jpeg_read_header(&jpeg, TRUE);
            jpeg.scale_num = 1;
            jpeg.scale_denom = 8;
            jpeg.dct_method = JDCT_IFAST;
            jpeg.do_fancy_upsampling = FALSE;
            jpeg.out_color_space = JCS_EXT_BGRX;
            jpeg_start_decompress(&jpeg);
            std::vector<JSAMPLE> row(jpeg.output_width * 4);
            JSAMPROW rows[] = {row.data()};
            while (jpeg.output_scanline < jpeg.output_height)
                jpeg_read_scanlines(&jpeg, rows, 1);
            jpeg_finish_decompress(&jpeg);
            jpeg_destroy_decompress(&jpeg);
            std::fclose(in);
            return true;
        };
    } else {
        fn = [] { return true; };
    }
    const double ms = MedianMs(runs, fn);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.2f %ld\n", ms, usage.ru_maxrss);
    return ms < 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--one")
        return RunOne(argv[2], argv[3], std::atoi(argv[4]));
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    const fs::path dir =
        fs::temp_directory_path() / ("velum-photo-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string jpeg = (dir / "photo.jpg").string(), png = (dir / "screen.png").string();
    std::ofstream(jpeg, std::ios::binary)
        << test::MakeJpeg(6000, 4000, Photo(6000, 4000), {90, true});
    std::ofstream(png, std::ios::binary) << test::MakePng(3840, 2160, Photo(3840, 2160));
    std::printf("photo.jpg: 6000x4000 baseline 4:2:0, %.1f MB; screen.png: 3840x2160, %.1f MB\n",
                fs::file_size(jpeg) / 1e6, fs::file_size(png) / 1e6);
    std::printf("median of %d runs; peak resident size of a fresh process doing the one thing\n",
                runs);
    std::printf("%-34s %9s %10s\n", "operation", "ms", "peak MB");
    const struct {
        const char *label, *op;
        const std::string& path;
    } cases[] = {{"nothing (the process alone)", "none", jpeg},
                 {"fill 6000x4000 JPEG on 1920x1080", "fill", jpeg},
                 {"fit 3840x2160 PNG on 1920x1080", "fit", png},
                 {"preview the JPEG in 400x300", "preview", jpeg},
                 {"libjpeg-turbo alone: it at 1/8", "eighth", jpeg}};
    int failed = 0;
    for (const auto& c : cases) {
        const std::string command =
            std::string(argv[0]) + " --one " + c.op + " '" + c.path + "' " + std::to_string(runs);
        FILE* out = ::popen(command.c_str(), "r");
        double ms = -1;
        long kib = 0;
        if (!out || std::fscanf(out, "%lf %ld", &ms, &kib) != 2 || ms < 0)
            failed = 1;
        if (out)
            ::pclose(out);
        std::printf("%-34s %9.2f %10.1f\n", c.label, ms, kib / 1024.0);
    }
    fs::remove_all(dir);
    return failed;
}
