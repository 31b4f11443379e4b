// The error line on stderr (vantoria-change, the tray program without a
// desktop): a file name that holds terminal controls or line breaks is shown
// escaped on the one line, and other languages' letters as they are.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/report/Reporter.h"

namespace vantoria {
namespace {

TEST(StderrReporterTest, HostileNamesStayOnOneEscapedLine) {
    std::FILE* capture = std::tmpfile();
    ASSERT_NE(capture, nullptr);
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    ASSERT_GE(saved, 0);
    ASSERT_GE(dup2(fileno(capture), fileno(stderr)), 0);
    StderrReporter("vantoria-change: ").ShowError("Cannot open \"/tmp/a\x1b]0;owned\a\nvantoria-change: done.jpg\"",
                                                  "\xe5\xa3\x81\xe7\xb4\x99 \x9b" "2J");
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::string text(4096, '\0');
    std::rewind(capture);
    text.resize(std::fread(text.data(), 1, text.size(), capture));
    std::fclose(capture);
    EXPECT_EQ(text,
              "vantoria-change: Cannot open \"/tmp/a\\x1b]0;owned\\x07 vantoria-change: done.jpg\" "
              "(\xe5\xa3\x81\xe7\xb4\x99 \\x9b2J)\n");
}

}  // namespace
}  // namespace vantoria
