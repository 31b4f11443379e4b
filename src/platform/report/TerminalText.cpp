#include "platform/report/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace vantoria {
namespace {

enum class Kind { Value, Message };

// Length of the well-formed UTF-8 sequence at the start of `text`, with its
// code point; 0 when it is not one (stray, overlong, surrogate, cut short).
std::size_t DecodeOne(std::string_view text, char32_t& point) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0xc2 ? 0 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : lead < 0xf5 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    point = lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80) return 0;
        point = (point << 6) | (next & 0x3f);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (point < least || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return 0;
    return length;
}

// Characters that are no letters but steer the terminal or the order in
// which it shows the line.
bool Steers(char32_t point) {
    return (point >= 0x80 && point <= 0x9f) || point == 0x061c || point == 0x200e || point == 0x200f ||
           (point >= 0x2028 && point <= 0x202e) || (point >= 0x2066 && point <= 0x2069);
}

std::string Escape(std::string_view text, Kind kind) {
    std::string out;
    out.reserve(text.size());
    char hex[12];
    while (!text.empty()) {
        const char c = text[0];
        const auto byte = static_cast<unsigned char>(c);
        std::size_t used = 1;
        if (c == '\n' || c == '\r') {
            out += kind == Kind::Message ? " " : c == '\n' ? "\\n" : "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += kind == Kind::Value ? "\\\\" : "\\";
        } else if (byte < 0x20 || byte == 0x7f) {
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else if (byte < 0x80) {
            out += c;
        } else if (char32_t point = 0; (used = DecodeOne(text, point)) == 0) {
            used = 1;
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else if (Steers(point)) {
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(point));
            out += hex;
        } else {
            out += text.substr(0, used);
        }
        text.remove_prefix(used);
    }
    return out;
}

}  // namespace

std::string EscapedValue(std::string_view text) { return Escape(text, Kind::Value); }

std::string EscapedMessage(std::string_view text) { return Escape(text, Kind::Message); }

}  // namespace vantoria
