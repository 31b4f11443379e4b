#pragma once
// What a monitor's EDID block says about who it is: the maker's three-letter
// code, the model (its name, else the product code) and the serial number
// (the serial text, else the number). Nothing is trusted: a block too short,
// with a bad header, or with unprintable text gives what can be read safely.

#include <cstdint>
#include <span>
#include <string>

namespace vantoria {

struct EdidIdentity {
    std::string make;
    std::string model;
    std::string serial;
};

// Empty fields when `edid` is not an EDID base block.
EdidIdentity ParseEdid(std::span<const std::uint8_t> edid);

}  // namespace vantoria
