// Composes a photograph-sized picture in every mode for a large screen and
// writes the buffer file; each mode runs in a fresh child process so that its
// peak memory is its own. Prints a table.
//
//   vantoria-compose-bench [--picture WxH] [--screen WxH] [--dir DIR] [--reps N]

#include "SamplePicture.h"
#include "compose/WallComposer.h"
#include "settings/ApSystem.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    int pw = 6000, ph = 4000, sw = 3840, sh = 2160, reps = 5;
    std::string dir = "/tmp";
};

double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

struct Result {
    double firstMs = 0, bestMs = 0, bestCpuMs = 0;
    long pictureKiB = 0, peakKiB = 0;
    int outW = 0, outH = 0;
    bool ok = false;
};

Result RunMode(const Options& o, int mode) {
    using Clock = std::chrono::steady_clock;
    Result r;
    const vantoria::raster::Bitmap picture = vantoria::bench::SamplePicture(o.pw, o.ph);
    r.pictureKiB = PeakKiB();
    vantoria::TApSystem settings;
    settings.StartDir = o.dir;
    settings.WallBuffer = "vantoria-bench-" + std::to_string(mode) + ".bmp";
    vantoria::compose::WallComposer composer(picture, settings, [&] {
        return vantoria::raster::ScreenSize{o.sw, o.sh};
    });
    r.bestMs = 1e30;
    for (int i = 0; i < o.reps; ++i) {
        const double cpu0 = CpuMs();
        const auto t0 = Clock::now();
        r.ok = composer.ComposeWallPaper(mode).ok;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        const double cpu = CpuMs() - cpu0;
        if (i == 0) r.firstMs = ms;
        if (ms < r.bestMs) {
            r.bestMs = ms;
            r.bestCpuMs = cpu;
        }
    }
    r.peakKiB = PeakKiB();
    const std::string path = settings.StartDir + "/" + settings.WallBuffer;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char h[26];
        if (std::fread(h, 1, sizeof h, f) == sizeof h) {
            r.outW = h[18] | h[19] << 8 | h[20] << 16 | h[21] << 24;
            r.outH = h[22] | h[23] << 8 | h[24] << 16 | h[25] << 24;
        }
        std::fclose(f);
    }
    std::remove(path.c_str());
    return r;
}

bool ParseSize(const char* s, int& w, int& h) { return std::sscanf(s, "%dx%d", &w, &h) == 2; }

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        bool good = true;
        if (k == "--picture") good = ParseSize(argv[i + 1], o.pw, o.ph);
        else if (k == "--screen") good = ParseSize(argv[i + 1], o.sw, o.sh);
        else if (k == "--dir") o.dir = argv[i + 1];
        else if (k == "--reps") o.reps = std::max(1, std::atoi(argv[i + 1]));
        else good = false;
        if (!good) {
            std::fprintf(stderr, "usage: %s [--picture WxH] [--screen WxH] [--dir DIR] [--reps N]\n", argv[0]);
            return 2;
        }
    }
    std::printf("picture %dx%d, screen %dx%d, buffer file in %s, best of %d\n", o.pw, o.ph, o.sw,
                o.sh, o.dir.c_str(), o.reps);
    std::printf("%-5s %-11s %9s %9s %9s %12s %10s\n", "mode", "written", "first ms", "best ms",
                "(cpu ms)", "picture MiB", "peak MiB");
    for (int mode = 0; mode <= 6; ++mode) {
        int fds[2];
        if (pipe(fds) != 0) return 1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            Result r{};
            try {
                r = RunMode(o, mode);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "mode %d: %s\n", mode, e.what());
            }
            (void)!write(fds[1], &r, sizeof r);
            _exit(0);
        }
        close(fds[1]);
        Result r{};
        const bool got = read(fds[0], &r, sizeof r) == ssize_t(sizeof r);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!got || !r.ok) {
            std::printf("%-5d failed\n", mode);
            continue;
        }
        const std::string size = std::to_string(r.outW) + "x" + std::to_string(r.outH);
        std::printf("%-5d %-11s %9.1f %9.1f %9.1f %12.1f %10.1f\n", mode, size.c_str(), r.firstMs,
                    r.bestMs, r.bestCpuMs, r.pictureKiB / 1024.0, r.peakKiB / 1024.0);
    }
}
