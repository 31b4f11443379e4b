// The automatic change, tick by tick, against a chooser and a change
// operation that only record.

#include "change/AutoWallChange.h"

#include "settings/ApSystem.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

using namespace vantoria;

namespace {

class FakeForms final : public AutoChangeHost {
public:
    void ShowChooser() override { ++shows; }
    WallListing ChooserListing() override { return {folder, files}; }
    void ChangeWallPaper(const std::string& file) override {
        changes.push_back(file);
        if (duringChange) duringChange();
    }
    void SetCountdown(const std::string& caption) override { countdown.push_back(caption); }

    std::string folder = "/pics";
    std::vector<std::string> files{"a.bmp", "b.jpg", "c.png"};
    int shows = 0;
    std::vector<std::string> changes, countdown;
    std::function<void()> duringChange;
};

class AutoWallChangeTest : public ::testing::Test {
protected:
    // Ticks from one change to the next at the shortest interval.
    static constexpr int kMinute = 61;

    void SetUp() override {
        settings_.AutoWallChg = true;
        settings_.AutoWallChgTime = 1;
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) timer_.Tick();
    }
    std::vector<std::string> Paths(std::initializer_list<const char*> names) const {
        std::vector<std::string> paths;
        for (const char* name : names) paths.push_back("/pics/" + std::string(name));
        return paths;
    }

    TApSystem settings_;
    FakeForms forms_;
    AutoWallChanger timer_{settings_, forms_};
};

TEST_F(AutoWallChangeTest, OneMinuteCountsDownFrom59AndChangesOnThe61stTick) {
    Ticks(60);
    ASSERT_EQ(forms_.countdown.size(), 60u);
    EXPECT_EQ(forms_.countdown.front(), "59");
    EXPECT_EQ(forms_.countdown[58], "1");
    EXPECT_EQ(forms_.countdown.back(), "0");
    EXPECT_TRUE(forms_.changes.empty());
    EXPECT_EQ(forms_.shows, 0);

    Ticks(1);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp"}));
    EXPECT_EQ(settings_.WallPaper, "/pics/a.bmp");
    EXPECT_EQ(forms_.shows, 1);
    EXPECT_EQ(forms_.countdown.size(), 60u) << "the change tick leaves the label at 0";

    Ticks(60);
    EXPECT_EQ(forms_.changes.size(), 1u);
    Ticks(1);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp", "b.jpg"}));
}

TEST_F(AutoWallChangeTest, ANewIntervalOrSwitchingTheModeOffAndOnRestartsTheCount) {
    Ticks(30);
    EXPECT_EQ(forms_.countdown.back(), "30");
    settings_.AutoWallChgTime = 2;
    Ticks(1);
    EXPECT_EQ(forms_.countdown.back(), "119");
    EXPECT_EQ(timer_.LastTime(), 2);

    Ticks(119);
    Ticks(1);
    ASSERT_EQ(forms_.changes, Paths({"a.bmp"}));
    Ticks(10);

    settings_.AutoWallChg = false;
    const std::size_t shown = forms_.countdown.size();
    Ticks(5);
    EXPECT_EQ(forms_.countdown.size(), shown) << "the label keeps what it showed";
    EXPECT_EQ(timer_.Seconds(), 0);
    settings_.AutoWallChg = true;
    Ticks(1);
    EXPECT_EQ(forms_.countdown.back(), "119");
    Ticks(120);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp", "b.jpg"})) << "the position survives the mode switch";
}

TEST_F(AutoWallChangeTest, AnIntervalBelowOneMinuteCountsAsOneAndIsKeptAsStored) {
    for (const std::int32_t stored : {0, -3, std::numeric_limits<std::int32_t>::min()}) {
        FakeForms forms;
        AutoWallChanger timer(settings_, forms);
        settings_.AutoWallChgTime = stored;
        for (int i = 0; i < 60; ++i) timer.Tick();
        EXPECT_TRUE(forms.changes.empty()) << stored;
        ASSERT_FALSE(forms.countdown.empty());
        EXPECT_EQ(forms.countdown.front(), "59") << stored;
        timer.Tick();
        EXPECT_EQ(forms.changes, Paths({"a.bmp"})) << stored;
        EXPECT_EQ(settings_.AutoWallChgTime, stored);
    }
}

TEST_F(AutoWallChangeTest, SequenceWrapsAndTheStoredPositionFollowsOnlyWhenKept) {
    settings_.StartLastWallCount = 5;
    Ticks(4 * kMinute);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp", "b.jpg", "c.png", "a.bmp"}));
    EXPECT_EQ(settings_.StartLastWallCount, 0) << "held at 0 while the position is not kept";

    FakeForms forms;
    AutoWallChanger timer(settings_, forms);
    settings_.StartLastWall = true;
    settings_.StartLastWallCount = 2;
    std::vector<int> stored;
    for (int i = 0; i < 3; ++i) {
        for (int t = 0; t < kMinute; ++t) timer.Tick();
        stored.push_back(settings_.StartLastWallCount);
    }
    EXPECT_EQ(forms.changes, Paths({"c.png", "a.bmp", "b.jpg"}));
    EXPECT_EQ(stored, (std::vector<int>{0, 1, 2}));
}

TEST_F(AutoWallChangeTest, NoFileAtThePositionSkipsTheChangeAndStartsAgainAtTheFirst) {
    forms_.files.clear();
    Ticks(3 * kMinute);
    EXPECT_TRUE(forms_.changes.empty());
    EXPECT_EQ(forms_.shows, 3) << "the folder is looked at again each time";
    EXPECT_EQ(settings_.WallPaper, "");

    // Files were removed since the position was stored.
    forms_.files = {"a.bmp", "b.jpg", "c.png"};
    settings_.StartLastWall = true;
    for (int stale : {7, 3, -1}) {
        settings_.StartLastWallCount = stale;
        Ticks(kMinute);
        EXPECT_TRUE(forms_.changes.empty()) << stale;
        EXPECT_EQ(settings_.StartLastWallCount, 0) << stale;
    }
    Ticks(kMinute);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp"}));
    EXPECT_EQ(settings_.StartLastWallCount, 1);
}

TEST_F(AutoWallChangeTest, TicksDuringAnOpenChangeDoNothing) {
    int nested = 0;
    // The change's message box runs the event loop, which delivers ticks.
    forms_.duringChange = [&] {
        if (nested++ == 0) Ticks(3);
    };
    Ticks(kMinute);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp"}));
    EXPECT_EQ(forms_.shows, 1);
    EXPECT_EQ(timer_.Index(), 1);
    Ticks(kMinute);
    EXPECT_EQ(forms_.changes, Paths({"a.bmp", "b.jpg"}));

    // The count restarts after the open change, not during it.
    nested = 0;
    Ticks(kMinute);
    EXPECT_EQ(forms_.changes.size(), 3u);
    EXPECT_EQ(timer_.Seconds(), 0);
}

// Exit chosen while a failure's message box is open saves the settings as
// they stand then: the next run goes on after the failing file.
TEST_F(AutoWallChangeTest, SettingsSavedDuringTheChangeAreAlreadyPastItsFile) {
    settings_.StartLastWall = true;
    for (const int shuffled : {0, 1}) {
        settings_.AutoWallShuffle = shuffled;
        settings_.StartLastWallCount = 1;
        TApSystem saved;
        bool exited = false;
        forms_.duringChange = [&] {
            if (!std::exchange(exited, true)) saved = settings_;
        };
        forms_.changes.clear();
        AutoWallChanger timer(settings_, forms_);
        ASSERT_TRUE(timer.ChangeNow());
        ASSERT_TRUE(timer.ChangeNow());  // what the same run would show next
        forms_.duringChange = nullptr;
        ASSERT_EQ(forms_.changes.size(), 2u);
        if (!shuffled) {
            EXPECT_EQ(forms_.changes[0], "/pics/b.jpg");
        }
        EXPECT_EQ(saved.WallPaper, forms_.changes[0]) << shuffled;

        FakeForms next;
        AutoWallChanger restarted(saved, next);
        ASSERT_TRUE(restarted.ChangeNow());
        EXPECT_EQ(next.changes.front(), forms_.changes[1]) << shuffled;
    }
}

}  // namespace

// Next, shuffle and a picture for each monitor, through the automatic change.
TEST_F(AutoWallChangeTest, ShuffledRoundsGoOnAfterARestartAndEveryMonitorGetsTheNextFile) {
    settings_.AutoWallShuffle = 1;
    settings_.StartLastWall = true;
    forms_.files = {"a", "b", "c", "d", "e"};
    Ticks(10);  // a countdown under way, which Next starts afresh
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(timer_.ChangeNow());
    EXPECT_EQ(timer_.Seconds(), 0);
    ASSERT_EQ(forms_.changes.size(), 12u);
    for (const int round : {0, 5}) {
        std::vector<std::string> shown(forms_.changes.begin() + round, forms_.changes.begin() + round + 5);
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, Paths({"a", "b", "c", "d", "e"})) << round;
    }
    EXPECT_NE(forms_.changes[5], forms_.changes[4]);
    EXPECT_NE(forms_.changes[10], forms_.changes[9]);

    // The next run, from the stored values only, goes on with the same round.
    TApSystem stored = settings_;
    FakeForms otherForms;
    otherForms.files = forms_.files;
    AutoWallChanger restarted(stored, otherForms);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(timer_.ChangeNow());
        EXPECT_TRUE(restarted.ChangeNow());
    }
    EXPECT_EQ(otherForms.changes, std::vector<std::string>(forms_.changes.end() - 4, forms_.changes.end()));

    // A picture each: the primary monitor WallPaper, the others the files after it.
    ::setenv("VANTORIA_MONITORS", "100x100+0+0,100x100+100+0,50x50+200+0", 1);
    settings_.AutoWallShuffle = 0;
    settings_.StartLastWall = false;
    settings_.MonitorMode = 1;
    forms_.changes.clear();
    AutoWallChanger each(settings_, forms_);
    EXPECT_TRUE(each.ChangeNow());
    ::unsetenv("VANTORIA_MONITORS");
    EXPECT_EQ(forms_.changes, Paths({"a"}));
    EXPECT_EQ(settings_.WallPaper, "/pics/a");
    EXPECT_EQ(settings_.MonitorWallPapers, "100x100+100+0\t/pics/b\n50x50+200+0\t/pics/c\n");
}

// Next answers for what it did: a change begun, or why none was.
TEST_F(AutoWallChangeTest, NextChangesFromAStalePositionAndFailsWhenItCannotBegin) {
    settings_.StartLastWall = true;
    settings_.StartLastWallCount = 7;  // files were removed since
    EXPECT_TRUE(timer_.ChangeNow());
    EXPECT_EQ(forms_.changes, Paths({"a.bmp"}));
    EXPECT_EQ(settings_.StartLastWallCount, 1);

    Result inner = Result::Done();
    forms_.duringChange = [&] { inner = timer_.ChangeNow(); };
    EXPECT_TRUE(timer_.ChangeNow());
    EXPECT_FALSE(inner) << "a second change while one is under way";
    EXPECT_EQ(forms_.changes.size(), 2u);
    forms_.duringChange = nullptr;

    forms_.files.clear();
    settings_.PathWall = "/pics";
    const Result empty = timer_.ChangeNow();
    EXPECT_FALSE(empty);
    EXPECT_NE(empty.reason.find("/pics"), std::string::npos) << empty.reason;
    EXPECT_EQ(forms_.changes.size(), 2u);
}
