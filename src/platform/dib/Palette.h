#pragma once
// The colour table of an indexed bitmap, always 256 entries so that any
// index can be looked up without a check; entries the file does not supply
// are black. Internal to the decoder.

#include <array>
#include <cstdint>
#include <span>

#include "platform/dib/DibHeader.h"

namespace vantoria::dib {

struct Bgr {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;
};

struct Palette {
    std::array<Bgr, 256> colors{};
    int count = 0;   // entries actually read
};

// Reads up to info.colorCount entries from `table` (the bytes where the
// table starts, as many as are present). Only whole entries are used.
Palette ReadPalette(const DibInfo& info, std::span<const std::uint8_t> table);

}  // namespace vantoria::dib
