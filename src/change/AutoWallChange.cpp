#include "change/AutoWallChange.h"

#include "compose/MonitorAssignment.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/ExtensionSettings.h"

#include <exception>

#include <algorithm>

namespace vantoria {

namespace {

// Clears a flag however the scope is left (a change may throw).
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

void AutoWallChanger::Tick() {
    if (changing_) return;
    if (!settings_.AutoWallChg) {
        seconds_ = 0;
        return;
    }
    if (settings_.AutoWallChgTime != lastTime_) {
        lastTime_ = settings_.AutoWallChgTime;
        seconds_ = 0;
    }
    if (settings_.StartLastWall)
        index_ = settings_.StartLastWallCount;
    else
        settings_.StartLastWallCount = 0;

    // The dialog keeps the interval within 1 to 999 minutes. A stored value
    // below 1 (a settings file edited by hand) counts as one minute, and is
    // kept as it is: otherwise every tick would change the wallpaper and
    // start the after-change program. 64 bits: a stored interval of any size
    // must not overflow the period.
    const std::int64_t period = std::int64_t{std::max(lastTime_, kShortestInterval)} * 60;
    if (period > seconds_) {
        ++seconds_;
        host_.SetCountdown(std::to_string(period - seconds_));
        return;
    }
    ChangeTick();
}

Result AutoWallChanger::ChangeNow() {
    if (changing_) return Result::Failed("a change of the wallpaper is under way");
    if (settings_.StartLastWall) index_ = settings_.StartLastWallCount;
    // Asked for now: a position that skips a change would answer with nothing.
    if (ChangeTick() || ChangeTick()) return Result::Done();
    return Result::Failed("no picture in " + settings_.PathWall + " matches " + settings_.FileMask);
}

namespace {

// The monitors for a picture each; none when they cannot be told (the
// change then gives the primary monitor's file alone).
MonitorList MonitorsNow() {
    try {
        std::string why;
        if (auto monitors = CurrentMonitors(why)) return *monitors;
    } catch (const std::exception&) {
    }
    return {};
}

}  // namespace

void AutoWallChanger::KeepPosition(bool shuffle) {
    if (shuffle) settings_.AutoWallShuffleRound = settings_.StartLastWall ? shuffle_.State() : std::string();
    if (settings_.StartLastWall) settings_.StartLastWallCount = index_;
}

bool AutoWallChanger::ChangeTick() {
    const FlagScope busy(changing_);
    host_.ShowChooser();
    const WallListing listing = host_.ChooserListing();
    const std::vector<std::string>& files = listing.files;
    const auto count = static_cast<std::int64_t>(files.size());
    const bool shuffle = settings_.AutoWallShuffle != 0;
    if (shuffle && !shuffleRestored_) {
        // With StartLastWall the round goes on where the last run left it.
        if (settings_.StartLastWall) shuffle_.Restore(settings_.AutoWallShuffleRound);
        shuffleRestored_ = true;
    }
    const bool inList = index_ >= 0 && index_ < count;
    if (!inList) {
        // An empty folder, or a stored position past the files that are
        // there now: no change this time; the sequence starts again.
        index_ = 0;
    } else {
        const std::string& folder = listing.folder;
        // The file at the position, then on to the next (a new round after the last).
        auto next = [&]() -> std::string {
            const auto at = static_cast<std::size_t>(index_);
            const std::size_t file = shuffle ? shuffle_.At(folder, settings_.FileMask, files, at) : at;
            if (++index_ >= count) {
                index_ = 0;
                if (shuffle) shuffle_.NextRound();
            }
            return folder + "/" + files[file];
        };
        if (EffectiveMonitorMode(settings_) == kMonitorModeEach) {
            // Every monitor the next file, the primary one first.
            compose::MonitorFiles assigned = compose::ParseMonitorFiles(settings_.MonitorWallPapers);
            settings_.WallPaper = compose::AssignInTurn(MonitorsNow(), next, assigned);
            settings_.MonitorWallPapers = compose::FormatMonitorFiles(assigned);
        } else {
            settings_.WallPaper = next();
        }
        // Kept before the change too: a failure's message box runs the event
        // loop, and an Exit chosen from the tray meanwhile saves the settings
        // as they stand then, which must already be past the failing file.
        KeepPosition(shuffle);
        host_.ChangeWallPaper(settings_.WallPaper);
    }
    KeepPosition(shuffle);
    seconds_ = 0;
    return inList;
}

}  // namespace vantoria
