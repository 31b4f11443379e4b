#include "platform/raster/Resample.h"

#include "platform/raster/ResampleKernels.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace vantoria::raster::detail {

namespace {

// Weights are 16-bit fractions summing to exactly 1 << 16. Intermediate rows
// hold 16-bit values (8 fraction bits), so both passes stay within uint32:
// 255 << 16 in the first and 65280 << 16 plus rounding in the second.
constexpr int kShift = 16;
constexpr std::uint32_t kOne = 1u << kShift;

// The source pixels and weights of each output index along one axis.
struct Axis {
    int taps = 1;                       // weights stored per output index
    std::vector<int> start;             // first source index
    std::vector<int> count;             // source indexes used
    std::vector<std::uint32_t> weight;  // `taps` a row, unused ones zero

    int Size() const { return static_cast<int>(start.size()); }
    int SourceBegin() const { return start.front(); }
    int SourceEnd() const { return start.back() + taps; }
};

// Output index i covers source [i * in / out, (i + 1) * in / out); each
// source pixel weighs what it contributes to that span. Computed in units of
// 1 / out so that it is exact, and the rounded weights are taken as
// differences of rounded running sums so that they add up to kOne.
Axis AreaAxis(int in, int out, int first, int last) {
    Axis a;
    a.taps = static_cast<int>((std::int64_t{in} + out - 1) / out) + 1;
    const int n = last - first;
    a.start.resize(n);
    a.count.resize(n);
    a.weight.assign(std::size_t(n) * a.taps, 0);
    for (int i = first; i < last; ++i) {
        const std::int64_t lo = std::int64_t{i} * in;
        const std::int64_t hi = lo + in;
        const std::int64_t j0 = lo / out;
        const std::int64_t j1 = (hi - 1) / out;
        std::uint32_t* w = &a.weight[std::size_t(i - first) * a.taps];
        std::int64_t covered = 0;
        for (std::int64_t j = j0; j <= j1; ++j) {
            const std::int64_t part = std::min((j + 1) * out, hi) - std::max(j * out, lo);
            const std::int64_t before = (covered * kOne + in / 2) / in;
            covered += part;
            w[j - j0] = static_cast<std::uint32_t>((covered * kOne + in / 2) / in - before);
        }
        a.start[i - first] = static_cast<int>(j0);
        a.count[i - first] = static_cast<int>(j1 - j0 + 1);
    }
    return a;
}

// Output index i samples the source at (i + 1/2) * in / out - 1/2 between its
// two nearest pixels; the edges repeat the outermost pixel.
Axis LinearAxis(int in, int out, int first, int last) {
    Axis a;
    a.taps = 2;
    const int n = last - first;
    a.start.resize(n);
    a.count.resize(n);
    a.weight.assign(std::size_t(n) * 2, 0);
    const std::int64_t den = 2 * std::int64_t{out};
    for (int i = first; i < last; ++i) {
        const std::int64_t num = (2 * std::int64_t{i} + 1) * in - out;
        std::int64_t j = 0;
        std::uint32_t frac = 0;
        if (num > 0) {
            j = num / den;
            frac = static_cast<std::uint32_t>(((num % den) * kOne + den / 2) / den);
        }
        if (j >= in - 1) {
            j = in - 1;
            frac = 0;
        }
        std::uint32_t* w = &a.weight[std::size_t(i - first) * 2];
        a.start[i - first] = static_cast<int>(j);
        if (frac == 0 || frac == kOne) {
            a.start[i - first] = static_cast<int>(frac ? j + 1 : j);
            a.count[i - first] = 1;
            w[0] = kOne;
        } else {
            a.count[i - first] = 2;
            w[0] = kOne - frac;
            w[1] = frac;
        }
    }
    return a;
}

// Every output index then reads exactly `taps` source pixels, all inside the
// source: windows running past its end are moved back, their weights with
// them. That lets the horizontal pass use fixed-length loops.
Axis MakeAxis(int in, int out, int first, int last) {
    Axis a = in >= out ? AreaAxis(in, out, first, last) : LinearAxis(in, out, first, last);
    const int taps = std::min(a.taps, in);
    for (int i = 0; i < a.Size(); ++i) {
        std::uint32_t* w = &a.weight[std::size_t(i) * a.taps];
        const int shift = std::max(0, a.start[i] + taps - in);
        if (shift > 0) {
            std::copy_backward(w, w + a.count[i], w + a.count[i] + shift);
            std::fill(w, w + shift, 0u);
            a.start[i] -= shift;
            a.count[i] += shift;
        }
    }
    if (taps < a.taps) {  // repack to the smaller stride
        for (int i = 0; i < a.Size(); ++i) {
            std::copy_n(&a.weight[std::size_t(i) * a.taps], taps, &a.weight[std::size_t(i) * taps]);
        }
        a.weight.resize(std::size_t(a.Size()) * taps);
        a.taps = taps;
    }
    return a;
}

AxisTaps TapsOf(const Axis& a) { return {a.Size(), a.taps, a.start.data(), a.weight.data()}; }

// One worker, with its own buffers (allocated before any thread starts, so
// a worker never throws). Workers take bands of output rows in turn.
struct alignas(64) Job {
    const SourceView* src = nullptr;
    const Axis* h = nullptr;
    const Axis* v = nullptr;
    const TargetView* target = nullptr;
    SimdLevel level = SimdLevel::Portable;
    std::vector<std::uint16_t> mid;    // vertical first: one source-wide row
    std::vector<std::uint32_t> acc;    // and its accumulator
    std::vector<const std::uint8_t*> rows8;    // the rows one output row blends
    std::vector<const std::uint16_t*> rows16;
    std::vector<std::uint16_t> cache;  // horizontal first: recent scaled rows
    std::vector<int> cached;           // source row held in each cache slot

    const std::uint8_t* SourceRow(int y) const { return src->top + src->stride * y; }
    std::uint8_t* TargetRow(int row) const { return target->origin + target->stride * row; }

    // Reduce rows first (one vertical pass over source-wide rows, then one
    // horizontal pass a destination row): used when the height shrinks.
    void RunVerticalFirst(int row0, int row1) {
        const int sx0 = h->SourceBegin();
        const int len = (h->SourceEnd() - sx0) * 3;
        for (int row = row0; row < row1; ++row) {
            const int n = v->count[row];
            for (int k = 0; k < n; ++k) rows8[k] = SourceRow(v->start[row] + k) + sx0 * 3;
            Vertical8To16(level, rows8.data(), &v->weight[std::size_t(row) * v->taps], n, mid.data(),
                          acc.data(), len);
            Horizontal16To8(level, mid.data(), sx0, TapsOf(*h), TargetRow(row));
        }
    }

    // Scale each source row once horizontally, then blend neighbouring rows:
    // used when the height grows, so each source row is widened only once.
    void RunHorizontalFirst(int row0, int row1) {
        const std::size_t len = std::size_t(h->Size()) * 3;
        for (int row = row0; row < row1; ++row) {
            const int n = v->count[row];
            for (int k = 0; k < n; ++k) {
                const int y = v->start[row] + k;
                const std::size_t slot = std::size_t(y) % cached.size();
                std::uint16_t* line = cache.data() + slot * len;
                if (cached[slot] != y) {
                    Horizontal8To16(level, SourceRow(y), 0, TapsOf(*h), line);
                    cached[slot] = y;
                }
                rows16[k] = line;
            }
            Vertical16To8(level, rows16.data(), &v->weight[std::size_t(row) * v->taps], n, TargetRow(row),
                          static_cast<int>(len));
        }
    }
};

// The bands of one call, shared with a helper thread that may start late or
// not at all: the caller returns once every band is done and no worker is
// inside one, and a helper that arrives after that finds none left and
// touches nothing of the caller's again. So the caller never waits for a
// helper the scheduler has not run yet.
struct Bands {
    int rows = 0;
    int band = 0;
    bool verticalFirst = true;
    std::atomic<int> next{0};
    std::atomic<int> active{0};  // workers between taking a band and finishing it
    std::vector<Job> jobs;

    void Work(Job& j) {
        for (;;) {
            active.fetch_add(1);
            const int row0 = next.fetch_add(band);
            if (row0 >= rows) break;
            const int row1 = std::min(rows, row0 + band);
            if (verticalFirst) {
                j.RunVerticalFirst(row0, row1);
            } else {
                j.RunHorizontalFirst(row0, row1);
            }
            active.fetch_sub(1);
        }
        if (active.fetch_sub(1) == 1) active.notify_all();
    }

    void WaitForWorkers() {
        for (int n = active.load(); n != 0; n = active.load()) active.wait(n);
    }
};

}  // namespace

void Resample(const SourceView& src, int destWidth, int destHeight, const Window& window,
              const TargetView& target, int maxThreads, SimdLevel level) {
    const int rows = window.y1 - window.y0;
    if (window.x1 <= window.x0 || rows <= 0 || src.width <= 0 || src.height <= 0) return;
    const Axis h = MakeAxis(src.width, destWidth, window.x0, window.x1);
    const Axis v = MakeAxis(src.height, destHeight, window.y0, window.y1);

    // A second thread pays off only for large outputs. The rows go in bands
    // to whichever worker is free: on a busy machine a helper that gets no
    // processor for a while then costs nothing, where a fixed half would
    // keep the caller waiting for it.
    const std::int64_t pixels = std::int64_t{rows} * (window.x1 - window.x0);
    const bool split = maxThreads > 1 && pixels >= (1 << 18) && rows >= 2 &&
                       std::thread::hardware_concurrency() > 1;
    auto bands = std::make_shared<Bands>();
    bands->rows = rows;
    bands->band = split ? std::max(8, rows / 32) : rows;
    bands->verticalFirst = destHeight <= src.height;
    bands->jobs.resize(split ? 2 : 1);
    for (Job& j : bands->jobs) {
        j.src = &src;
        j.h = &h;
        j.v = &v;
        j.target = &target;
        j.level = level;
        j.rows8.resize(v.taps);
        j.rows16.resize(v.taps);
        if (bands->verticalFirst) {
            j.mid.resize(std::size_t(h.SourceEnd() - h.SourceBegin()) * 3);
            if (v.taps > 3) j.acc.resize(j.mid.size());
        } else {
            j.cache.resize(std::size_t(v.taps) * h.Size() * 3);
            j.cached.assign(v.taps, -1);
        }
    }
    if (split) {
        try {
            std::thread([bands] { bands->Work(bands->jobs[1]); }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the caller does every band.
        }
    }
    bands->Work(bands->jobs[0]);
    bands->WaitForWorkers();
}

}  // namespace vantoria::raster::detail
