#include "platform/dib/BitFields.h"

namespace vantoria::dib {

bool IsContiguousMask(std::uint32_t mask) {
    if (mask == 0) return true;
    const std::uint32_t run = mask >> __builtin_ctz(mask);
    return (run & (run + 1)) == 0;   // run is 2^n - 1 (wraps to 0 for all ones)
}

ChannelScale::ChannelScale(std::uint32_t mask) {
    if (mask == 0) return;   // channel absent: always 0
    const unsigned low = static_cast<unsigned>(__builtin_ctz(mask));
    const unsigned width = static_cast<unsigned>(__builtin_popcount(mask));
    if (width >= 8) {
        shift_ = low + width - 8;
        field_ = 0xFF;
        for (unsigned v = 0; v < 256; ++v) table_[v] = static_cast<std::uint8_t>(v);
    } else {
        shift_ = low;
        field_ = (1u << width) - 1;
        for (unsigned v = 0; v <= field_; ++v) {
            table_[v] = static_cast<std::uint8_t>((v * 255 + field_ / 2) / field_);
        }
    }
}

}  // namespace vantoria::dib
