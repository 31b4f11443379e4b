#pragma once
// Key paths. Keys are named by their full path from the hive,
// "HKEY_CURRENT_USER\Software\Brightmoss"; components are separated by one
// backslash and compared ignoring ASCII case, as Windows does, while the
// spelling a key was created with is kept.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantoria::registry {

inline constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER";

// Windows' own limits: keys nest at most 512 levels below the hive, and one
// key's name is at most 255 UTF-16 characters.
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxKeyNameLength = 255;

// The path with ASCII letters folded to lower case: the lookup form.
std::string FoldCase(std::string_view text);

bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Appends the components of `relative` to `base`, skipping empty components,
// so "Software\\Brightmoss", "\\Software\\Brightmoss\\" and
// "Software\\\\Brightmoss" all name the same key.
std::string JoinKeyPath(std::string_view base, std::string_view relative);

// The path without its last component; empty for a hive.
std::string_view ParentKeyPath(std::string_view path);

// True when the UTF-8 `path` (hive first; empty components ignored) keeps
// within kMaxKeyDepth and kMaxKeyNameLength.
bool WithinKeyLimits(std::string_view path);

// True when `path` is `ancestor` itself or lies below it (ignoring case).
bool IsSameOrBelow(std::string_view path, std::string_view ancestor);

}  // namespace vantoria::registry
