#include "change/ExecRunAp.h"

#include "platform/report/Reporter.h"
#include "support/Child.h"
#include "support/RecordingReporter.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vantoria;
using namespace vantoria::test;

namespace {

class ExecRunApTest : public ::testing::Test {
protected:
    void SetUp() override { SetReporter(&reporter_); }
    void TearDown() override { SetReporter(nullptr); }

    // A program that waits a moment, then writes its arguments one per line.
    std::string Recorder() {
        const std::string path = dir_.Path() + "/rec order";
        std::ofstream(path) << "#!/bin/sh\nsleep 0.3\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \""
                            << dir_.Path() << "/args.tmp\"\nmv \"" << dir_.Path() << "/args.tmp\" \"" << dir_.Path()
                            << "/args\"\n";
        ::chmod(path.c_str(), 0755);
        return path;
    }
    std::string Args() const { return ReadFile(dir_.Path() + "/args"); }

    RecordingReporter reporter_;
    TempDir dir_;
};

TEST_F(ExecRunApTest, SplitsWordsLikeWindowsAndNeverUsesAShell) {
    const std::string program = Recorder();
    const std::string line = "\"" + program + "\" \"two words\" semi;colon $(touch " + dir_.Path() +
                             "/pwned) 'single quoted'";
    ASSERT_TRUE(ExecRunAp(line));
    // Started detached: the call is back before the program has written.
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/args"));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(dir_.Path() + "/args"); }));
    EXPECT_EQ(Args(), "two words\nsemi;colon\n$(touch\n" + dir_.Path() + "/pwned)\n'single\nquoted'\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/pwned"));
    EXPECT_TRUE(reporter_.messages.empty());
    // Not our child: nothing is left for us to reap, so no zombie either.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ExecRunApTest, AMissingProgramIsReportedOnceAndEmptyIsNoFailure) {
    EXPECT_TRUE(ExecRunAp(""));
    EXPECT_TRUE(reporter_.messages.empty());

    EXPECT_FALSE(ExecRunAp(dir_.Path() + "/no-such-program --flag"));
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0], "起動できません。");
    EXPECT_NE(reporter_.details[0].find("no-such-program"), std::string::npos);

    EXPECT_FALSE(ExecRunAp("   "));  // blanks name no program
    EXPECT_EQ(reporter_.messages.size(), 2u);
}

}  // namespace
