#include "imaging/FileExtension.h"

#include <array>

namespace vantoria::imaging {

std::string_view ExtensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot);
}

std::string FileExtOf(std::string_view path) {
    std::string ext(ExtensionOf(path).substr(0, kMaxFileExt));
    for (char& c : ext) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return ext;
}

bool IsNativeExtension(std::string_view fileExt) {
    static constexpr std::array<std::string_view, 4> kNative = {".BMP", ".ICO", ".WMF", ".EMF"};
    for (std::string_view native : kNative) {
        if (fileExt == native) return true;
    }
    return false;
}

}  // namespace vantoria::imaging
