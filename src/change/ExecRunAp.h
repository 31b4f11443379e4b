#pragma once
#include "platform/i18n/Messages.h"

#include <string>

namespace vantoria {

inline constexpr const char* kCannotStartMessage = i18n::Translatable("起動できません。");

// Starts the after-change program: the command line is split into words
// (double quotes group words, as on Windows), the first word names the
// program, and it is started detached, with no shell in between and without
// waiting. An empty command line does nothing. When the program cannot be
// started the user is told "起動できません。" through the reporter, and false
// is returned.
bool ExecRunAp(const std::string& commandLine);

}  // namespace vantoria
