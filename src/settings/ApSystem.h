#pragma once
// The settings record: every user-adjustable value of the program, one
// process-wide instance. Filled from the registry when the main form is
// created and written back once when it closes.

#include <cstdint>
#include <string>

namespace vantoria {

inline constexpr const char* kDefaultWallBuffer = "Runo.bmp";
inline constexpr const char* kDefaultFileMask =
    "*.bmp;*.gif;*.jpg;*.dib;*.ico;*.mng;*.jng;*.png;*.mag;*.pi;*.pict;*.pic;*.pic2;*.xpm";

// Field order is the record's declared order; do not reorder.
struct TApSystem {
    bool RegErase = false;       // not stored: erase the section at exit
    bool AutoWallChg = false;
    bool StartLastWall = false;
    bool BtnFlat = false;
    bool NoRunAp = false;
    std::string WallBuffer;
    std::string WallPaper;
    std::string PathPlugin;
    std::string PathWall;
    std::string StartDir;        // not stored: working directory at start-up
    std::string RunAp;
    std::string FileMask;
    std::int32_t ChgWallWindow_Left = 0;
    std::int32_t ChgWallWindow_Top = 0;
    std::int32_t SaveWindowPos = 0;   // an integer used as a boolean; kept as read
    std::int32_t WallSize = 0;
    std::int32_t WallPosition = 0;
    std::int32_t WallArrange = 0;
    std::int32_t AutoWallChgTime = 0;
    std::int32_t StartLastWallCount = 0;
};

// The one instance. Zero, false and empty until LoadSettings has run.
extern TApSystem ApSystem;

}  // namespace vantoria
