#include "change/ShuffleOrder.h"

#include <charconv>
#include <random>
#include <utility>

namespace vantoria {
namespace {

// splitmix64: small, fast and fully defined, so a stored seed draws the same
// order on every build (std::shuffle's use of its generator is not fixed).
std::uint64_t Mix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A uniform number below `bound` (> 0), without modulo bias.
std::uint64_t Below(std::uint64_t& state, std::uint64_t bound) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    for (;;) {
        const std::uint64_t r = Mix(state);
        if (r < limit) return r % bound;
    }
}

std::uint64_t Fingerprint(std::string_view folder, std::string_view mask, const std::vector<std::string>& files) {
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    auto add = [&h](std::string_view text) {
        for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
        h = (h ^ 0xFFu) * 0x100000001B3ull;  // a byte no name holds ends each part
    };
    add(folder);
    add(mask);
    for (const std::string& name : files) add(name);
    return h;
}

std::string Hex(std::uint64_t value) {
    char text[17];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    return std::string(text, end);
}

bool TakeHex(std::string_view& text, std::uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc{} || end == text.data() || end == text.data() + text.size() || *end != ' ') return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return true;
}

}  // namespace

ShuffleOrder::ShuffleOrder(SeedSource fresh) : fresh_(std::move(fresh)) {
    if (!fresh_) {
        fresh_ = [] {
            std::random_device device;
            return (std::uint64_t{device()} << 32) ^ device();
        };
    }
}

void ShuffleOrder::Restore(std::string_view stored) {
    haveRound_ = false;
    orderValid_ = false;
    std::uint64_t seed = 0, list = 0;
    if (!TakeHex(stored, seed) || !TakeHex(stored, list)) return;
    haveRound_ = true;
    seed_ = seed;
    list_ = list;
    after_ = std::string(stored);
}

std::string ShuffleOrder::State() const {
    if (!haveRound_) return {};
    return Hex(seed_) + " " + Hex(list_) + " " + after_;
}

void ShuffleOrder::Prepare(std::string_view folder, std::string_view mask, const std::vector<std::string>& files) {
    const std::uint64_t list = Fingerprint(folder, mask, files);
    if (!haveRound_ || list != list_) {
        // Another list: a new round, which still does not begin with the
        // file shown last.
        haveRound_ = true;
        seed_ = fresh_();
        list_ = list;
        after_ = lastShown_;
        orderValid_ = false;
    }
    if (orderValid_ && orderNames_ == files) return;
    const std::size_t n = files.size();
    order_.resize(n);
    for (std::size_t i = 0; i < n; ++i) order_[i] = i;
    std::uint64_t state = seed_;
    for (std::size_t i = n; i > 1; --i) std::swap(order_[i - 1], order_[Below(state, i)]);
    if (n > 1 && files[order_[0]] == after_) std::swap(order_[0], order_[1 + Below(state, n - 1)]);
    orderNames_ = files;
    orderValid_ = true;
}

const std::vector<std::size_t>& ShuffleOrder::Order(std::string_view folder, std::string_view mask,
                                                    const std::vector<std::string>& files) {
    Prepare(folder, mask, files);
    return order_;
}

std::size_t ShuffleOrder::At(std::string_view folder, std::string_view mask, const std::vector<std::string>& files,
                             std::size_t position) {
    Prepare(folder, mask, files);
    const std::size_t index = order_.at(position);
    lastShown_ = files[index];
    return index;
}

void ShuffleOrder::NextRound() {
    if (!haveRound_) return;
    if (orderValid_ && !order_.empty()) after_ = orderNames_[order_.back()];
    std::uint64_t state = seed_;
    seed_ = Mix(state);
    orderValid_ = false;
}

}  // namespace vantoria
