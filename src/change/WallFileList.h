#pragma once
// The chooser's file list, which is also the sequence the automatic change
// steps through: read at once, in an order that stays the same from one
// reading to the next.

#include <string>
#include <string_view>
#include <vector>

namespace vantoria {

// True when `name` matches one of the ";"-separated patterns of `mask`
// ("*" any run of characters, "?" one character), without regard to the
// case of ASCII letters. As on the system the masks come from, a pattern
// ending in ".*" also matches a name without any dot ("*.*" matches all).
// Blanks around a pattern are ignored; an empty pattern matches nothing.
bool MatchesFileMask(std::string_view name, std::string_view mask);

// The names (without folder) of the files in `folder` that match `mask`:
// regular files and links to them, not folders or anything else, and not
// hidden files (names beginning with "."). Sorted without regard to case,
// byte order breaking ties. The folder is used as given (empty is the root,
// as the joined path "" + "/" + name says); a folder that cannot be read
// gives an empty list.
std::vector<std::string> ListWallFiles(const std::string& folder, std::string_view mask);

// `path` when it is a folder; otherwise the nearest folder above it that
// exists; `fallback` when none does (a relative path that leads nowhere).
std::string NearestExistingFolder(const std::string& path, const std::string& fallback);

// What the chooser shows when it opens on `folder` with `mask`, which is
// also the sequence the automatic change steps through: the nearest existing
// folder (`fallback` when none) and its files as ListWallFiles gives them.
struct WallListing {
    std::string folder;
    std::vector<std::string> files;
};
WallListing ListChooserFolder(const std::string& folder, std::string_view mask, const std::string& fallback);

}  // namespace vantoria
