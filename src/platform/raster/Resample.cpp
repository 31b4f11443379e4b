#include "platform/raster/Resample.h"

#include <algorithm>
#include <functional>
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

// Vertical passes: whole rows weighted and summed, element by element. These
// loops vectorise; the AVX2 clone is picked at load time where available.
__attribute__((target_clones("avx2", "default")))
void Vertical8To16(const std::uint8_t* const* rows, const std::uint32_t* w, int n,
                   std::uint16_t* out, std::uint32_t* acc, int len) {
    if (n == 1) {
        for (int x = 0; x < len; ++x) out[x] = static_cast<std::uint16_t>(rows[0][x] << 8);
        return;
    }
    if (n == 2) {
        const std::uint8_t* a = rows[0];
        const std::uint8_t* b = rows[1];
        for (int x = 0; x < len; ++x) {
            out[x] = static_cast<std::uint16_t>((a[x] * w[0] + b[x] * w[1] + 128) >> 8);
        }
        return;
    }
    if (n == 3) {
        const std::uint8_t* a = rows[0];
        const std::uint8_t* b = rows[1];
        const std::uint8_t* c = rows[2];
        for (int x = 0; x < len; ++x) {
            out[x] = static_cast<std::uint16_t>(
                (a[x] * w[0] + b[x] * w[1] + c[x] * w[2] + 128) >> 8);
        }
        return;
    }
    // Row by row into an accumulator, so each loop is a plain vector loop.
    for (int x = 0; x < len; ++x) acc[x] = 128 + rows[0][x] * w[0];
    for (int k = 1; k < n; ++k) {
        const std::uint8_t* r = rows[k];
        const std::uint32_t wk = w[k];
        for (int x = 0; x < len; ++x) acc[x] += r[x] * wk;
    }
    for (int x = 0; x < len; ++x) out[x] = static_cast<std::uint16_t>(acc[x] >> 8);
}

__attribute__((target_clones("avx2", "default")))
void Vertical16To8(const std::uint16_t* const* rows, const std::uint32_t* w, int n,
                   std::uint8_t* out, int len) {
    if (n == 1) {
        for (int x = 0; x < len; ++x) out[x] = static_cast<std::uint8_t>((rows[0][x] + 128u) >> 8);
        return;
    }
    if (n == 2) {
        const std::uint16_t* a = rows[0];
        const std::uint16_t* b = rows[1];
        for (int x = 0; x < len; ++x) {
            out[x] = static_cast<std::uint8_t>((a[x] * w[0] + b[x] * w[1] + (1u << 23)) >> 24);
        }
        return;
    }
    for (int x = 0; x < len; ++x) {
        std::uint32_t acc = 1u << 23;
        for (int k = 0; k < n; ++k) acc += rows[k][x] * w[k];
        out[x] = static_cast<std::uint8_t>(acc >> 24);
    }
}

// Horizontal passes: per output pixel, its source pixels' three channels.
// `in` points at source pixel `base`. Taps > 0 fixes the loop length at
// compile time (the common small reductions and enlargements); 0 reads it
// from the axis.
template <int Taps, typename In, typename Out, int OutShift>
void HorizontalTaps(const In* in, int base, const Axis& ax, Out* out) {
    constexpr std::uint32_t half = 1u << (OutShift - 1);
    const int n = ax.Size();
    const int taps = Taps > 0 ? Taps : ax.taps;
    const std::uint32_t* w = ax.weight.data();
    for (int x = 0; x < n; ++x, w += taps) {
        const In* p = in + std::ptrdiff_t(ax.start[x] - base) * 3;
        std::uint32_t b = half, g = half, r = half;
        for (int k = 0; k < taps; ++k, p += 3) {
            b += p[0] * w[k];
            g += p[1] * w[k];
            r += p[2] * w[k];
        }
        out[3 * x] = static_cast<Out>(b >> OutShift);
        out[3 * x + 1] = static_cast<Out>(g >> OutShift);
        out[3 * x + 2] = static_cast<Out>(r >> OutShift);
    }
}

template <typename In, typename Out, int OutShift>
void Horizontal(const In* in, int base, const Axis& ax, Out* out) {
    switch (ax.taps) {
    case 1: return HorizontalTaps<1, In, Out, OutShift>(in, base, ax, out);
    case 2: return HorizontalTaps<2, In, Out, OutShift>(in, base, ax, out);
    case 3: return HorizontalTaps<3, In, Out, OutShift>(in, base, ax, out);
    case 4: return HorizontalTaps<4, In, Out, OutShift>(in, base, ax, out);
    case 5: return HorizontalTaps<5, In, Out, OutShift>(in, base, ax, out);
    default: return HorizontalTaps<0, In, Out, OutShift>(in, base, ax, out);
    }
}

// One worker's share of the output rows, with its own buffers (allocated
// before any thread starts, so a worker never throws).
struct Job {
    const SourceView* src = nullptr;
    const Axis* h = nullptr;
    const Axis* v = nullptr;
    const TargetView* target = nullptr;
    int row0 = 0;  // window rows [row0, row1)
    int row1 = 0;
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
    void RunVerticalFirst() {
        const int sx0 = h->SourceBegin();
        const int len = (h->SourceEnd() - sx0) * 3;
        for (int row = row0; row < row1; ++row) {
            const int n = v->count[row];
            for (int k = 0; k < n; ++k) rows8[k] = SourceRow(v->start[row] + k) + sx0 * 3;
            Vertical8To16(rows8.data(), &v->weight[std::size_t(row) * v->taps], n, mid.data(),
                          acc.data(), len);
            Horizontal<std::uint16_t, std::uint8_t, 24>(mid.data(), sx0, *h, TargetRow(row));
        }
    }

    // Scale each source row once horizontally, then blend neighbouring rows:
    // used when the height grows, so each source row is widened only once.
    void RunHorizontalFirst() {
        const std::size_t len = std::size_t(h->Size()) * 3;
        for (int row = row0; row < row1; ++row) {
            const int n = v->count[row];
            for (int k = 0; k < n; ++k) {
                const int y = v->start[row] + k;
                const std::size_t slot = std::size_t(y) % cached.size();
                std::uint16_t* line = cache.data() + slot * len;
                if (cached[slot] != y) {
                    Horizontal<std::uint8_t, std::uint16_t, 8>(SourceRow(y), 0, *h, line);
                    cached[slot] = y;
                }
                rows16[k] = line;
            }
            Vertical16To8(rows16.data(), &v->weight[std::size_t(row) * v->taps], n, TargetRow(row),
                          static_cast<int>(len));
        }
    }
};

}  // namespace

void Resample(const SourceView& src, int destWidth, int destHeight, const Window& window,
              const TargetView& target, int maxThreads) {
    const int rows = window.y1 - window.y0;
    if (window.x1 <= window.x0 || rows <= 0 || src.width <= 0 || src.height <= 0) return;
    const Axis h = MakeAxis(src.width, destWidth, window.x0, window.x1);
    const Axis v = MakeAxis(src.height, destHeight, window.y0, window.y1);
    const bool verticalFirst = destHeight <= src.height;

    // A second thread pays off only for large outputs; the work splits by rows.
    const std::int64_t pixels = std::int64_t{rows} * (window.x1 - window.x0);
    const bool split = maxThreads > 1 && pixels >= (1 << 18) && rows >= 2 &&
                       std::thread::hardware_concurrency() > 1;
    const int workers = split ? 2 : 1;
    std::vector<Job> jobs(workers);
    for (int i = 0; i < workers; ++i) {
        Job& j = jobs[i];
        j.src = &src;
        j.h = &h;
        j.v = &v;
        j.target = &target;
        j.row0 = rows * i / workers;
        j.row1 = rows * (i + 1) / workers;
        j.rows8.resize(v.taps);
        j.rows16.resize(v.taps);
        if (verticalFirst) {
            j.mid.resize(std::size_t(h.SourceEnd() - h.SourceBegin()) * 3);
            if (v.taps > 3) j.acc.resize(j.mid.size());
        } else {
            j.cache.resize(std::size_t(v.taps) * h.Size() * 3);
            j.cached.assign(v.taps, -1);
        }
    }
    auto run = [verticalFirst](Job& j) {
        if (verticalFirst) {
            j.RunVerticalFirst();
        } else {
            j.RunHorizontalFirst();
        }
    };
    std::thread helper;
    if (workers == 2) {
        try {
            helper = std::thread(run, std::ref(jobs[1]));
        } catch (const std::system_error&) {
            run(jobs[1]);  // no thread to be had: do its share here
        }
    }
    run(jobs[0]);
    if (helper.joinable()) helper.join();
}

}  // namespace vantoria::raster::detail
