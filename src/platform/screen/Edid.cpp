#include "platform/screen/Edid.h"

#include <array>
#include <cstdio>

namespace vantoria {
namespace {

constexpr std::size_t kBaseBlock = 128;
constexpr std::array<std::uint8_t, 8> kHeader{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t kDescriptors[] = {54, 72, 90, 108};
constexpr std::uint8_t kSerialText = 0xFF;
constexpr std::uint8_t kNameText = 0xFC;

// A descriptor's 13 bytes of text, up to its line feed; printable ASCII only.
std::string DescriptorText(std::span<const std::uint8_t> edid, std::size_t at) {
    std::string text;
    for (std::size_t i = at + 5; i < at + 18; ++i) {
        const std::uint8_t c = edid[i];
        if (c == 0x0A || c == 0x00) break;
        text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

EdidIdentity ParseEdid(std::span<const std::uint8_t> edid) {
    EdidIdentity id;
    if (edid.size() < kBaseBlock) return id;
    for (std::size_t i = 0; i < kHeader.size(); ++i)
        if (edid[i] != kHeader[i]) return id;
    // Three letters of five bits each, 1 for 'A'.
    const unsigned maker = (unsigned{edid[8]} << 8) | edid[9];
    for (const int shift : {10, 5, 0}) {
        const unsigned letter = (maker >> shift) & 0x1F;
        id.make.push_back(letter >= 1 && letter <= 26 ? static_cast<char>('A' + letter - 1) : '?');
    }
    const unsigned product = edid[10] | (unsigned{edid[11]} << 8);
    const std::uint32_t number = edid[12] | (std::uint32_t{edid[13]} << 8) | (std::uint32_t{edid[14]} << 16) |
                                 (std::uint32_t{edid[15]} << 24);
    for (const std::size_t at : kDescriptors) {
        if (edid[at] != 0 || edid[at + 1] != 0 || edid[at + 2] != 0) continue;  // a timing, not text
        if (edid[at + 3] == kNameText) id.model = DescriptorText(edid, at);
        if (edid[at + 3] == kSerialText) id.serial = DescriptorText(edid, at);
    }
    if (id.model.empty()) {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", product);
        id.model = code;
    }
    if (id.serial.empty() && number != 0) id.serial = std::to_string(number);
    return id;
}

}  // namespace vantoria
