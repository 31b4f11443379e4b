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

// Why the plug-in folder `folderPath` (used as ListPluginFiles uses it) must
// not be used, for a person: it belongs to someone other than this user or
// root, or users other than its owner can write to it (a group write counts
// unless the group is this user's own or root's). Empty when it may be used,
// and for a folder that does not exist (which lists nothing anyway).
std::string PluginFolderProblem(const std::string& folderPath);

// The same for the plug-in library at `path`, and for the folder it really
// lies in when a link leads elsewhere. Empty for anything but a regular file,
// which is never loaded anyway.
std::string PluginFileProblem(const std::string& path);

// Where vantoria-change takes plug-ins from when no folder is stored: the
// shipped plug-ins beside it in the build tree, the installed plug-in folder
// otherwise. Never the working folder.
std::string ShippedPluginFolder();

}  // namespace vantoria::imaging
