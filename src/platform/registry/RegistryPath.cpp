#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {
namespace {

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = FoldChar(c);
    return folded;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

std::string JoinKeyPath(std::string_view base, std::string_view relative) {
    std::string path(base);
    while (!relative.empty()) {
        const std::size_t cut = relative.find('\\');
        const std::string_view part = relative.substr(0, cut);
        if (!part.empty()) {
            if (!path.empty()) path += '\\';
            path += part;
        }
        if (cut == std::string_view::npos) break;
        relative.remove_prefix(cut + 1);
    }
    return path;
}

std::string_view ParentKeyPath(std::string_view path) {
    const std::size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

bool WithinKeyLimits(std::string_view path) {
    std::size_t levels = 0;  // the hive is level 0
    std::size_t length = 0;  // of the current name, in UTF-16 code units
    bool inName = false;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            inName = false;
            length = 0;
            continue;
        }
        if (!inName) {
            inName = true;
            if (++levels > kMaxKeyDepth + 1) return false;
        }
        if ((byte & 0xC0) == 0x80) continue;   // continuation byte
        length += byte >= 0xF0 ? 2 : 1;       // outside the BMP: a surrogate pair
        if (length > kMaxKeyNameLength) return false;
    }
    return true;
}

bool IsSameOrBelow(std::string_view path, std::string_view ancestor) {
    if (path.size() < ancestor.size()) return false;
    if (!EqualIgnoringCase(path.substr(0, ancestor.size()), ancestor)) return false;
    return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

}  // namespace vantoria::registry
