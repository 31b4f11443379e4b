// StretchDraw against pixman's separable convolution: time and agreement for
// the sizes a wallpaper changer meets. Prints a table.
//
//   vantoria-scale-bench [repetitions]

#include "SamplePicture.h"
#include "platform/raster/Resample.h"

#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

template <typename F>
double BestMs(int reps, F&& f) {
    double best = 1e30;
    for (int i = 0; i < reps; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
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

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    struct Case { int sw, sh, dw, dh; };
    const Case cases[] = {
        {6000, 4000, 3840, 2160}, {6000, 4000, 1920, 1080}, {1920, 1080, 3840, 2160},
        {800, 600, 1024, 768},    {1600, 1200, 1023, 768},  {640, 480, 1280, 1024},
    };
    std::printf("%-22s %10s %10s %10s %10s %9s %6s\n", "source -> dest", "own 1T ms", "own ms",
                "pixman 1T", "pixman 2T", "mean diff", "max");
    for (const Case& c : cases) {
        const Bitmap src = vantoria::bench::SamplePicture(c.sw, c.sh);
        Bitmap own(c.dw, c.dh), pix(c.dw, c.dh);
        const double ownMs = BestMs(reps, [&] {
            Bitmap out(c.dw, c.dh);
            out.StretchDraw(MakeRect(0, 0, c.dw, c.dh), src);
            own = out;
        });
        const double own1Ms = BestMs(reps, [&] {
            Bitmap out(c.dw, c.dh);
            vantoria::raster::detail::Resample(
                {src.ScanLine(0), src.Stride(), src.Width(), src.Height()}, c.dw, c.dh,
                {0, c.dw, 0, c.dh}, {out.ScanLine(0), out.Stride()}, 1);
        });
        const double pix1Ms = BestMs(std::min(reps, 2), [&] { PixmanStretch(pix, src, 1); });
        const double pix2Ms = BestMs(std::min(reps, 2), [&] { PixmanStretch(pix, src, 2); });
        const auto [mean, worst] = Compare(own, pix);
        const std::string label = std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                                  std::to_string(c.dw) + "x" + std::to_string(c.dh);
        std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %9.3f %6d\n", label.c_str(), own1Ms, ownMs,
                    pix1Ms, pix2Ms, mean, worst);
    }
}
