#pragma once
#include <string>

namespace vantoria {

// The argument text as one string: the arguments after the program name
// joined with single blanks.
std::string JoinArguments(int argc, const char* const* argv);

// True when the whole argument text is "/debug", ignoring case; nothing is
// trimmed and no other argument is recognised.
bool IsDebugCommandLine(const std::string& text);

}  // namespace vantoria
