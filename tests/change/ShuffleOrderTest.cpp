#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "change/ShuffleOrder.h"

namespace vantoria {
namespace {

std::vector<std::string> Names(int n) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back("f" + std::to_string(i) + ".png");
    return names;
}

ShuffleOrder::SeedSource Counting() {
    return [n = std::uint64_t{7}]() mutable { return n++; };
}

// Shows one whole round through At and returns it, as the automatic change does.
std::vector<std::string> Round(ShuffleOrder& order, const std::vector<std::string>& files,
                               const std::string& folder = "/p") {
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < files.size(); ++i) shown.push_back(files[order.At(folder, "*.png", files, i)]);
    order.NextRound();
    return shown;
}

TEST(ShuffleOrderTest, EveryRoundIsANewPermutationThatDoesNotStartWithTheLastFile) {
    for (const int n : {2, 3, 10}) {
        const auto files = Names(n);
        ShuffleOrder order(Counting());
        std::set<std::vector<std::string>> distinct;
        std::string last;
        for (int round = 0; round < 300; ++round) {
            const auto shown = Round(order, files);
            EXPECT_TRUE(std::is_permutation(shown.begin(), shown.end(), files.begin())) << n << " " << round;
            if (round > 0) {
                EXPECT_NE(shown.front(), last) << n << " " << round;
            }
            last = shown.back();
            distinct.insert(shown);
        }
        // Orders vary: every order of 3 files and many of 10; two files can only
        // alternate in one order.
        EXPECT_GE(distinct.size(), n == 2 ? 1u : n == 3 ? 6u : 250u) << n;
    }
    // One file: always that one.
    ShuffleOrder one(Counting());
    EXPECT_EQ(Round(one, {"a"}), std::vector<std::string>{"a"});
    EXPECT_EQ(Round(one, {"a"}), std::vector<std::string>{"a"});
}

TEST(ShuffleOrderTest, TheRoundSurvivesARestartAndANewListStartsANewOne) {
    const auto files = Names(12);
    ShuffleOrder first(Counting());
    Round(first, files);
    std::vector<std::string> before;
    for (std::size_t i = 0; i < 5; ++i) before.push_back(files[first.At("/p", "*.png", files, i)]);
    const std::string kept = first.State();
    ASSERT_FALSE(kept.empty());

    // Another process, another seed source: the stored round goes on as it was.
    ShuffleOrder second([] { return std::uint64_t{999}; });
    second.Restore(kept);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(files[second.At("/p", "*.png", files, i)], files[first.At("/p", "*.png", files, i)]) << i;
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(files[second.At("/p", "*.png", files, i)], before[i]);
    first.NextRound();
    second.NextRound();
    EXPECT_EQ(Round(first, files), Round(second, files));

    // A new file, a new folder or a damaged record: a new round, from the source's seed.
    const std::string state = second.State();
    auto more = files;
    more.push_back("zz.png");
    second.At("/p", "*.png", more, 0);
    EXPECT_NE(second.State(), state);
    const std::string grown = second.State();
    second.At("/q", "*.png", more, 0);
    EXPECT_NE(second.State(), grown);
    ShuffleOrder damaged(Counting());
    damaged.Restore("not a round");
    EXPECT_EQ(damaged.State(), "");
    EXPECT_LT(damaged.At("/p", "*.png", files, 3), files.size());
}

}  // namespace
}  // namespace vantoria
