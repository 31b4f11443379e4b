#pragma once
// Turning one colour channel of a 16- or 32-bit pixel, selected by a
// contiguous bit mask of any width, into 8 bits. Internal to the decoder.

#include <array>
#include <cstdint>

namespace vantoria::dib {

// True for zero and for masks whose set bits form one run.
bool IsContiguousMask(std::uint32_t mask);

class ChannelScale {
public:
    explicit ChannelScale(std::uint32_t mask);

    std::uint8_t operator()(std::uint32_t pixel) const { return table_[(pixel >> shift_) & field_]; }

private:
    // Fields of 8 bits or more keep their top 8 bits (shift and mask do
    // it); narrower fields are stretched to 0..255 by the table, so that
    // all ones gives 255.
    unsigned shift_ = 0;
    std::uint32_t field_ = 0;
    std::array<std::uint8_t, 256> table_{};
};

}  // namespace vantoria::dib
