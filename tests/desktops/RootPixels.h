#pragma once
// The root window's pixels as the screen shows them, for end-to-end tests on
// a 24-bit Xvfb, and a count of the pixels that differ from what a layout
// puts there.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/TestBmp.h"

namespace vantoria::test {

class RootPixels {
public:
    RootPixels() = default;
    // Reads the area (0, top, width, height - top) of the root window: rows
    // above `top` (a tray host's strip, say) are left out of every check.
    RootPixels(Display* display, int width, int height, int top = 0) : width_(width), height_(height), top_(top) {
        XImage* image = XGetImage(display, DefaultRootWindow(display), 0, top, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height - top), AllPlanes, ZPixmap);
        if (!image) return;
        pixels_.reserve(static_cast<std::size_t>(width) * (height - top));
        for (int y = 0; y < height - top; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                pixels_.push_back({int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)});
            }
        XDestroyImage(image);
    }

    bool Empty() const { return pixels_.empty(); }
    Rgb At(int x, int y) const { return pixels_[static_cast<std::size_t>(y - top_) * width_ + x]; }

    // The pixels of the area where `expected` differs by more than
    // `tolerance` in a channel; the first few are described in `first`.
    int Mismatches(const std::function<Rgb(int, int)>& expected, std::string* first = nullptr,
                   int tolerance = 0) const {
        int bad = 0;
        for (int y = top_; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const Rgb e = expected(x, y), r = At(x, y);
                if (std::abs(e.r - r.r) > tolerance || std::abs(e.g - r.g) > tolerance ||
                    std::abs(e.b - r.b) > tolerance) {
                    if (first && bad < 3)
                        *first += "(" + std::to_string(x) + "," + std::to_string(y) + ") is " + Text(r) +
                                  " not " + Text(e) + "; ";
                    ++bad;
                }
            }
        return bad;
    }

private:
    static std::string Text(const Rgb& c) {
        return std::to_string(c.r) + "/" + std::to_string(c.g) + "/" + std::to_string(c.b);
    }
    int width_ = 0, height_ = 0, top_ = 0;
    std::vector<Rgb> pixels_;
};

inline int Mod(int p, int q) { return ((p % q) + q) % q; }

}  // namespace vantoria::test
