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

std::string GVariantString(std::string_view text) {
    std::string quoted = "'";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '\'') {
            quoted += '\\';
            quoted += ch;
        } else if (c < 0x20 || c == 0x7f) {
            quoted += UnicodeEscape(c);
        } else {
            quoted += ch;
        }
    }
    return quoted + "'";
}

std::string JavaScriptString(std::string_view text) {
    std::string quoted = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '"') {
            quoted += '\\';
            quoted += ch;
        } else if (c < 0x20 || c == 0x7f) {
            quoted += UnicodeEscape(c);
        } else {
            quoted += ch;
        }
    }
    return quoted + "\"";
}

}  // namespace vantoria::desktop
