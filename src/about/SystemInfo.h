#pragma once
// What the version information dialog shows about the program and the
// machine. Plain logic, without widgets, so that it is tested on its own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoria::about {

// The Windows-version name by platform id (0 Win32s, 1 the Windows 95
// family, 2 the NT family), minor version and build number, as the program
// has always classified them; nullopt for an unknown platform (the caller
// keeps its earlier text). The major version plays no part.
std::optional<std::string> ClassifyWindowsVersion(std::uint32_t platformId, std::uint32_t minorVersion,
                                                  std::uint32_t buildNumber);

// The line shown in the Windows version's place here: the distribution's
// name (PRETTY_NAME of an os-release text, else NAME) and the kernel release,
// e.g. "Debian GNU/Linux 12 (bookworm), Linux 6.1.0".
std::string LinuxVersionText(std::string_view osRelease, std::string_view kernelRelease);
// The same for this machine (/etc/os-release, else /usr/lib/os-release; uname).
std::string LinuxVersionText();
// That line first, then shorter forms of it for a narrow label, each still
// naming both: "Debian GNU/Linux 12, Linux 6.1.0", "Debian 12, Linux 6.1.0".
std::vector<std::string> LinuxVersionTexts(std::string_view osRelease, std::string_view kernelRelease);
std::vector<std::string> LinuxVersionTexts();

// Total physical memory in bytes, as a 64-bit count; 0 when unknown.
std::uint64_t TotalPhysicalMemory();
// sysinfo's total in bytes: `totalram` counts units of `memUnit` bytes; a
// product past 64 bits reads as the largest count.
std::uint64_t MemoryBytes(std::uint64_t totalram, std::uint32_t memUnit);

// The memory line: plain decimal digits and " Bytes".
std::string MemoryText(std::uint64_t bytes);

// A value of the program's version resource by its path, as the platform's
// version query takes it; "\StringFileInfo\041103A4\FileVersion" is the
// file version (the build's project version). nullopt for any other name.
std::optional<std::string> QueryVersionValue(std::string_view subBlock);
inline constexpr const char* kFileVersionPath = "\\StringFileInfo\\041103A4\\FileVersion";

}  // namespace vantoria::about
