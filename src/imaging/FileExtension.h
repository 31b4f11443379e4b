#pragma once
// How the loader classifies a file by its name: the extension and the four
// extensions read without a plug-in.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantoria::imaging {

// FileExt holds at most this many characters. A longer extension keeps its
// first 31, which can never equal one of the four-character native ones.
inline constexpr std::size_t kMaxFileExt = 31;

// The part of `path` from the last "." that stands after the last "/", the
// dot included; empty when there is none. Only "/" separates folders here: a
// ":" is an ordinary character of a file name on Linux.
std::string_view ExtensionOf(std::string_view path);

// ExtensionOf(path) with its ASCII letters upper-cased, cut to kMaxFileExt.
std::string FileExtOf(std::string_view path);

// True for ".BMP", ".ICO", ".WMF" and ".EMF" (an upper-cased extension).
bool IsNativeExtension(std::string_view fileExt);

}  // namespace vantoria::imaging
