#pragma once
// The wallpaper buffer file: the start folder, "/", and the WallBuffer
// setting, joined literally. Nothing is added or removed, so a start folder
// "/" gives "//Runo.bmp" and an empty WallBuffer names the folder itself.
// A WallBuffer that is an absolute path (the settings dialog's file picker
// stores one for a file outside the start folder) is that path.

#include <string>

namespace vantoria {

struct TApSystem;

namespace compose {

std::string WallBufferPath(const std::string& startDir, const std::string& wallBuffer);
std::string WallBufferPath(const TApSystem& settings);

}  // namespace compose
}  // namespace vantoria
