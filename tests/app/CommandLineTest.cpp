#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace vantoria;

TEST(CommandLineTest, DebugModeNeedsTheWholeTextToBeSlashDebugInAnyCase) {
    EXPECT_TRUE(IsDebugCommandLine("/debug"));
    EXPECT_TRUE(IsDebugCommandLine("/DEBUG"));
    EXPECT_TRUE(IsDebugCommandLine("/DeBuG"));

    EXPECT_FALSE(IsDebugCommandLine(""));
    EXPECT_FALSE(IsDebugCommandLine(" /debug"));
    EXPECT_FALSE(IsDebugCommandLine("/debug "));
    EXPECT_FALSE(IsDebugCommandLine("/debug x"));
    EXPECT_FALSE(IsDebugCommandLine("-debug"));
    EXPECT_FALSE(IsDebugCommandLine("/debu"));
}

TEST(CommandLineTest, ArgumentsAreJoinedWithSingleBlanks) {
    const char* none[] = {"vantoria"};
    EXPECT_EQ(JoinArguments(1, none), "");
    const char* two[] = {"vantoria", "/debug", "x"};
    EXPECT_EQ(JoinArguments(3, two), "/debug x");
    // An argument with a blank of its own stays as it is.
    const char* spaced[] = {"vantoria", " /debug"};
    EXPECT_FALSE(IsDebugCommandLine(JoinArguments(2, spaced)));
}
