#pragma once
// Finding plug-in libraries: the names in a folder that match "*.SPI".

#include <string>
#include <string_view>
#include <vector>

namespace vantoria::imaging {

// True when `name` matches the pattern "*.SPI" without regard to case.
bool MatchesPluginPattern(std::string_view name);

// The entries of the folder `folderPath` + "/" whose names match the
// pattern, sorted in byte order of the names (stable from one scan to the
// next, whatever order the file system keeps). The path is used literally: an
// empty `folderPath` lists "/". Files, folders and anything else are listed
// alike; an unreadable or missing folder gives an empty list.
std::vector<std::string> ListPluginFiles(const std::string& folderPath);

}  // namespace vantoria::imaging
