#pragma once
// The one file the helper may read. Plug-ins open the picture by its name;
// the helper has no right to open anything (its seccomp filter refuses it),
// so the helper replaces open, openat and fopen (FileBroker.cpp): once the
// broker is on, opening the picture's name for reading gives a fresh
// descriptor of the file the program passed, at its start, and every other
// open fails with EACCES. Before that (while the plug-ins load) the calls
// do what the C library's do.

#include <string>

namespace vantoria::imaging::helper {

// `fd` is the open picture, or -1 with the errno the program's open got.
void BrokerFile(const std::string& name, int fd, int openError);

}  // namespace vantoria::imaging::helper
