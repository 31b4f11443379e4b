// StretchDraw against pixman's separable convolution: time and agreement for
// the sizes a wallpaper changer meets. Prints a table: the portable loops on
// one thread ("plain"), the vector loops this processor runs on one and on
// two threads, pixman on one and two; medians of runs taken in turn.
//
//   vantoria-scale-bench [repetitions] [--no-pixman]
//   vantoria-scale-bench --one CASE THREADS LEVEL REPS   (for callgrind)

#include "SamplePicture.h"
#include "platform/raster/Resample.h"

#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using vantoria::raster::Bitmap;
using vantoria::raster::MakeRect;
using Clock = std::chrono::steady_clock;

namespace {

struct ImageDeleter {
    void operator()(pixman_image_t* i) const { pixman_image_unref(i); }
};
using Image = std::unique_ptr<pixman_image_t, ImageDeleter>;

Image Wrap(const Bitmap& b) {
    // Our rows are pixman's r8g8b8: blue, green, red in memory.
    return Image(pixman_image_create_bits(
        PIXMAN_r8g8b8, b.Width(), b.Height(),
        reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(b.ScanLine(0))),
        static_cast<int>(b.Stride())));
}

// Box/box when shrinking (area average), linear/impulse when enlarging
// (bilinear), per axis, as a caller of pixman would choose.
void PixmanStretch(Bitmap& dst, const Bitmap& src, int threads) {
    const double sx = double(src.Width()) / dst.Width();
    const double sy = double(src.Height()) / dst.Height();
    Image s = Wrap(src);
    dst.ScanLine(0);  // own the pixels before wrapping them
    Image d = Wrap(dst);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(s.get(), &t);
    pixman_image_set_repeat(s.get(), PIXMAN_REPEAT_PAD);
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy),
        sx > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LINEAR,
        sy > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LINEAR,
        sx > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_IMPULSE,
        sy > 1 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_IMPULSE, 1, 1);
    pixman_image_set_filter(s.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    std::free(params);
    const int h = dst.Height();
    auto part = [&](int i) {
        const int y0 = h * i / threads, y1 = h * (i + 1) / threads;
        pixman_image_composite32(PIXMAN_OP_SRC, s.get(), nullptr, d.get(), 0, y0, 0, 0, 0, y0,
                                 dst.Width(), y1 - y0);
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) helpers.emplace_back(part, i);
    part(0);
    for (auto& th : helpers) th.join();
}

double Ms(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Runs the variants in turn, `reps` rounds, so that a change in the
// machine's load falls on all of them alike; the median of each.
std::vector<double> MedianMs(int reps, const std::vector<std::function<void()>>& variants) {
    std::vector<std::vector<double>> times(variants.size());
    for (int r = 0; r < reps; ++r)
        for (std::size_t i = 0; i < variants.size(); ++i) times[i].push_back(Ms(variants[i]));
    std::vector<double> medians;
    for (auto& t : times) {
        std::sort(t.begin(), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// Mean and largest channel difference.
std::pair<double, int> Compare(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y) {
        const std::uint8_t* p = a.ScanLine(y);
        const std::uint8_t* q = b.ScanLine(y);
        for (int x = 0; x < a.Width() * 3; ++x) {
            const int d = std::abs(p[x] - q[x]);
            sum += d;
            worst = std::max(worst, d);
        }
    }
    return {sum / (double(a.Width()) * a.Height() * 3), worst};
}


struct Case { int sw, sh, dw, dh; };
const Case kCases[] = {
    {6000, 4000, 3840, 2160}, {6000, 4000, 2560, 1440}, {6000, 4000, 1920, 1080}, {3000, 2000, 1920, 1080},
    {1920, 1080, 3840, 2160}, {800, 600, 1024, 768},    {1600, 1200, 1023, 768},  {640, 480, 1280, 1024},
};

void Scale(const Bitmap& src, Bitmap& out, int threads, vantoria::raster::detail::SimdLevel level) {
    vantoria::raster::detail::Resample({src.ScanLine(0), src.Stride(), src.Width(), src.Height()}, out.Width(),
                                       out.Height(), {0, out.Width(), 0, out.Height()},
                                       {out.ScanLine(0), out.Stride()}, threads, level);
}

}  // namespace

int main(int argc, char** argv) {
    using vantoria::raster::detail::SimdLevel;
    // --one CASE THREADS LEVEL REPS: only that, for callgrind or perf
    // (LEVEL 0 portable, 1 SSE4.1, 2 AVX2).
    if (argc == 6 && std::string(argv[1]) == "--one") {
        const Case& c = kCases[std::clamp(std::atoi(argv[2]), 0, int(std::size(kCases)) - 1)];
        const Bitmap src = vantoria::bench::SamplePicture(c.sw, c.sh);
        Bitmap out(c.dw, c.dh);
        for (int r = std::atoi(argv[5]); r > 0; --r) Scale(src, out, std::atoi(argv[3]), SimdLevel(std::atoi(argv[4])));
        return 0;
    }
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const bool pixman = !(argc > 2 && std::string(argv[2]) == "--no-pixman");
    std::printf("%-22s %10s %10s %10s %10s %10s %9s %6s\n", "source -> dest", "plain 1T", "own 1T ms",
                "own 2T ms", "pixman 1T", "pixman 2T", "mean diff", "max");
    const SimdLevel best = vantoria::raster::detail::BestSimdLevel();
    for (const Case& c : kCases) {
        const Bitmap src = vantoria::bench::SamplePicture(c.sw, c.sh);
        Bitmap own(c.dw, c.dh), pix(c.dw, c.dh);
        own.StretchDraw(MakeRect(0, 0, c.dw, c.dh), src);
        // Into one bitmap each, whose pages are there already: the scaler's
        // time, not the system's for fresh memory.
        Bitmap out1(c.dw, c.dh), out2(c.dw, c.dh), outPlain(c.dw, c.dh);
        const std::vector<double> ms = MedianMs(reps, {
            [&] { Scale(src, outPlain, 1, SimdLevel::Portable); },
            [&] { Scale(src, out1, 1, best); },
            [&] { Scale(src, out2, 2, best); },
        });
        double pix1Ms = 0, pix2Ms = 0;
        if (pixman) {
            const std::vector<double> p = MedianMs(std::min(reps, 3), {[&] { PixmanStretch(pix, src, 1); },
                                                                      [&] { PixmanStretch(pix, src, 2); }});
            pix1Ms = p[0];
            pix2Ms = p[1];
        }
        const auto [mean, worst] = pixman ? Compare(own, pix) : std::pair<double, int>{0, 0};
        const std::string label = std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                                  std::to_string(c.dw) + "x" + std::to_string(c.dh);
        std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %10.1f %9.3f %6d\n", label.c_str(), ms[0], ms[1], ms[2],
                    pix1Ms, pix2Ms, mean, worst);
    }
}
