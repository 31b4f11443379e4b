#pragma once
// Runs a desktop's command-line tool: no shell (the arguments reach the
// program exactly as given), standard input from /dev/null, output
// collected, and a time limit so that a hanging tool never hangs us.

#include <chrono>
#include <string>
#include <vector>

namespace vantoria::desktop {

inline constexpr std::chrono::milliseconds kToolTimeLimit{10'000};
// More output than this is read and dropped; no tool we call says as much.
inline constexpr std::size_t kMaxToolOutput = 1u << 20;

struct ToolResult {
    bool ok = false;      // started, and exited with code 0
    std::string output;   // standard output
    std::string reason;   // when not ok, e.g. "cannot run xfconf-query: not found"
};

// argv[0] is looked up on PATH. The environment is this process's own.
// Failure reasons: "cannot run TOOL: not found" (or another system error),
// "TOOL failed: <first line of its error output>" (or "exit code N" when it
// printed nothing), "TOOL did not finish within N s" (it is then killed with
// everything it started in its process group).
ToolResult RunTool(const std::vector<std::string>& argv,
                   std::chrono::milliseconds limit = kToolTimeLimit);

}  // namespace vantoria::desktop
