#pragma once
// Some format libraries print their own diagnostics on stderr for a damaged
// file, before the host says in its own words that the file is damaged.
// While a QuietStderr lives, what the process writes to stderr goes into a
// pipe; when the last one ends, the lines that `drop` picks are thrown away
// and the rest are passed on. Process-wide, so nesting and threads share one
// redirection. Where the pipe cannot be made (a sandbox), nothing changes.

#include <string_view>

namespace vantoria::spi {

class QuietStderr {
public:
    explicit QuietStderr(bool (*drop)(std::string_view line));
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    bool (*drop_)(std::string_view line);
    bool active_ = false;
};

}  // namespace vantoria::spi
