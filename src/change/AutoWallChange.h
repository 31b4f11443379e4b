#pragma once
// The automatic change: what each one-second tick of the main form's timer
// does. Every AutoWallChgTime minutes (read at each tick, at least one) the
// next file of the chooser's file list becomes the wallpaper; the settings
// dialog shows the seconds left meanwhile.

#include "change/ShuffleOrder.h"
#include "change/WallFileList.h"
#include "platform/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantoria {

struct TApSystem;

// The shortest interval, in minutes, whatever the settings say.
inline constexpr std::int32_t kShortestInterval = 1;

// What a tick needs of the rest of the program.
class AutoChangeHost {
public:
    virtual ~AutoChangeHost() = default;
    // Runs the chooser's FormShow on the (normally hidden) chooser, which
    // points its folder and file list at PathWall and FileMask.
    virtual void ShowChooser() = 0;
    // What the chooser now lists: its folder and the names in its file list
    // (ListChooserFolder for PathWall and FileMask), read from the folder,
    // not from the dialog's widgets.
    virtual WallListing ChooserListing() = 0;
    // The change operation; reports its own failures.
    virtual void ChangeWallPaper(const std::string& file) = 0;
    // The settings dialog's countdown label.
    virtual void SetCountdown(const std::string& caption) = 0;
};

class AutoWallChanger {
public:
    // Both must outlive the changer; `settings` is read and written at
    // every tick.
    AutoWallChanger(TApSystem& settings, AutoChangeHost& host) : settings_(settings), host_(host) {}

    // One tick. A tick that arrives while a change begun by an earlier one
    // is still under way (its message box runs the event loop) does nothing.
    void Tick();

    // The next file of the sequence now, as a tick at the end of the
    // interval would change it; the countdown starts afresh. A stored
    // position past the files there now starts from the first one. Failed,
    // with nothing changed, while a change is under way or when the folder
    // holds no picture; the change's own failures it reports itself.
    Result ChangeNow();

    std::int32_t Seconds() const { return seconds_; }
    std::int32_t LastTime() const { return lastTime_; }
    std::int32_t Index() const { return index_; }

private:
    // False when the sequence had no file at the position (nothing changed).
    bool ChangeTick();
    // The position (and the shuffled round) into the stored settings, as
    // StartLastWall asks.
    void KeepPosition(bool shuffle);

    TApSystem& settings_;
    AutoChangeHost& host_;
    std::int32_t seconds_ = 0;   // AutoWallChgSeconds: ticks since the last change or reset
    std::int32_t lastTime_ = 0;  // AutoWallChgLastTime: the interval seen at the last tick
    std::int32_t index_ = 0;     // AutoWallChgIndex: position of the next file
    bool changing_ = false;
    // AutoWallShuffle: the order of the round in progress.
    ShuffleOrder shuffle_;
    bool shuffleRestored_ = false;
};

}  // namespace vantoria
