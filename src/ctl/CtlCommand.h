#pragma once
// vantoria-ctl: drives the running tray program over the session bus.
// Exit status 0 on success; 1 with the program's error on one line; 2 when
// no tray program runs (or there is no session bus).

#include <string>
#include <vector>

namespace vantoria::ctl {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kNotRunning = 2;

std::string Usage();

// `args` without the program name; `workDir` makes a relative FILE absolute
// (the tray program runs in another folder).
int RunCtl(const std::vector<std::string>& args, const std::string& workDir);

}  // namespace vantoria::ctl
