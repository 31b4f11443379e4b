#include "platform/raster/Bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vantoria::raster {

struct Bitmap::Store {
    Block block;
    explicit Store(Block b) : block(std::move(b)) {}
    ~Store() {
        if (block.release) block.release(block.data);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
};

namespace {

void CheckSize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide ||
        std::int64_t{width} * height > kMaxPixels) {
        throw RasterError("bitmap too large: " + std::to_string(width) + " x " +
                          std::to_string(height));
    }
}

Bitmap::Block Allocate(std::size_t bytes) {
    auto* p = static_cast<std::uint8_t*>(std::malloc(bytes ? bytes : 1));
    if (!p) throw RasterError("out of memory for a bitmap of " + std::to_string(bytes) + " bytes");
    return {p, [](std::uint8_t* q) { std::free(q); }};
}

}  // namespace

Bitmap::Bitmap(int width, int height) { SetSize(width, height); }

Bitmap Bitmap::Adopt(int width, int height, bool bottomUp, Block block) {
    CheckSize(width, height);
    Bitmap b;
    b.width_ = width;
    b.height_ = height;
    const auto row = static_cast<std::ptrdiff_t>(RowBytes(width));
    b.store_ = std::make_shared<Store>(std::move(block));
    std::uint8_t* base = b.store_->block.data;
    if (bottomUp) {
        b.stride_ = -row;
        b.top_ = base + row * (height > 0 ? height - 1 : 0);
    } else {
        b.stride_ = row;
        b.top_ = base;
    }
    return b;
}

void Bitmap::SetSize(int width, int height) {
    CheckSize(width, height);
    if (width == width_ && height == height_ && store_) return;
    const std::size_t row = RowBytes(width);
    auto store = std::make_shared<Store>(Allocate(row * static_cast<std::size_t>(height)));
    std::uint8_t* top = store->block.data;
    const int keepRows = std::min(height, height_);
    const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, width_)) * 3;
    for (int y = 0; y < keepRows; ++y) {
        std::memcpy(top + row * y, ScanLine(y), keepBytes);
    }
    width_ = width;
    height_ = height;
    stride_ = static_cast<std::ptrdiff_t>(row);
    top_ = top;
    store_ = std::move(store);
}

std::uint8_t* Bitmap::ScanLine(int y) {
    Detach();
    return top_ + stride_ * y;
}

void Bitmap::Detach() {
    if (!store_ || store_.use_count() == 1) return;
    const std::size_t row = RowBytes(width_);
    auto store = std::make_shared<Store>(Allocate(row * static_cast<std::size_t>(height_)));
    std::uint8_t* top = store->block.data;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(top + row * y, top_ + stride_ * y, row);
    }
    stride_ = static_cast<std::ptrdiff_t>(row);
    top_ = top;
    store_ = std::move(store);
}

void Bitmap::Fill(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* p = ScanLine(y);
        for (int x = 0; x < width_; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

}  // namespace vantoria::raster
