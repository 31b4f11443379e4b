#include "platform/desktop/Quoting.h"

#include <cstdio>

namespace vantoria::desktop {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

std::string UnicodeEscape(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
    return buffer;
}

}  // namespace

std::string FileUri(std::string_view absolutePath) {
    std::string uri = "file://";
    for (const char ch : absolutePath) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

namespace {

// `text` between `quote` characters: the quote and backslash escaped with a
// backslash, control characters as \uXXXX. GVariant text and JavaScript
// read both the same way.
std::string Quoted(std::string_view text, char quote) {
    std::string quoted(1, quote);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == quote) {
            quoted += '\\';
            quoted += ch;
        } else if (c < 0x20 || c == 0x7f) {
            quoted += UnicodeEscape(c);
        } else {
            quoted += ch;
        }
    }
    return quoted + quote;
}

}  // namespace

std::string GVariantString(std::string_view text) { return Quoted(text, '\''); }

std::string JavaScriptString(std::string_view text) { return Quoted(text, '"'); }

}  // namespace vantoria::desktop
