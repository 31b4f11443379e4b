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

    // Stored after the 18 above (settings/ExtensionSettings.cpp); a file
    // without them reads as 0 and "".
    std::int32_t AutoWallShuffle = 0;   // 1: the automatic change goes through the folder in random order
    std::int32_t MonitorMode = 0;       // 0 one picture laid out per monitor, 1 a picture each, 2 one across all
    std::string AutoWallShuffleRound;   // the shuffle round in progress (change/ShuffleOrder.h)
    std::string MonitorWallPapers;      // mode 1: which monitor shows which file (compose/MonitorAssignment.h)
};

// The one instance. Zero, false and empty until LoadSettings has run.
extern TApSystem ApSystem;

}  // namespace vantoria
