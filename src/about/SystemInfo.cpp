#include "about/SystemInfo.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace vantoria::about {

std::optional<std::string> ClassifyWindowsVersion(std::uint32_t platformId, std::uint32_t minorVersion,
                                                  std::uint32_t buildNumber) {
    switch (platformId) {
    case 0:
        return "Win32s on Windows 3.1";
    case 1:
        if (minorVersion == 0) return buildNumber <= 1000 ? "Win32 on Windows 95" : "Win32 on Windows 95 OSR2";
        if (minorVersion == 10) return "Win32 on Windows 98";
        return "Win32 on Windows";
    case 2:
        return "Windows NT/2000";
    default:
        return std::nullopt;
    }
}

namespace {

// The value of KEY=value or KEY="value" in an os-release text.
std::string OsReleaseValue(std::string_view text, std::string_view key) {
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        if (line.size() <= key.size() || line.compare(0, key.size(), key) != 0 || line[key.size()] != '=') continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

std::string ReadText(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::vector<std::string> LinuxVersionTexts(std::string_view osRelease, std::string_view kernelRelease) {
    // "6.1.0-18-amd64": the version is what the user looks for.
    const std::string kernel = "Linux " + std::string(kernelRelease.substr(0, kernelRelease.find('-')));
    std::vector<std::string> texts;
    const auto add = [&](const std::string& distribution) {
        std::string text = distribution.empty() ? kernel : distribution + ", " + kernel;
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(std::move(text));
    };
    const std::string name = OsReleaseValue(osRelease, "NAME");
    const std::string pretty = OsReleaseValue(osRelease, "PRETTY_NAME");
    add(pretty.empty() ? name : pretty);
    if (!name.empty()) {
        const std::string version = OsReleaseValue(osRelease, "VERSION_ID");
        const auto withVersion = [&](std::string text) { return version.empty() ? text : text + " " + version; };
        add(withVersion(name));                              // "Debian GNU/Linux 12"
        add(withVersion(name.substr(0, name.find(' '))));  // "Debian 12"
    }
    return texts;
}

std::string LinuxVersionText(std::string_view osRelease, std::string_view kernelRelease) {
    return LinuxVersionTexts(osRelease, kernelRelease).front();
}

std::vector<std::string> LinuxVersionTexts() {
    std::string osRelease = ReadText("/etc/os-release");
    if (osRelease.empty()) osRelease = ReadText("/usr/lib/os-release");
    struct utsname names {};
    ::uname(&names);
    return LinuxVersionTexts(osRelease, names.release);
}

std::string LinuxVersionText() { return LinuxVersionTexts().front(); }

std::uint64_t TotalPhysicalMemory() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return 0;
    return MemoryBytes(info.totalram, info.mem_unit);
}

std::uint64_t MemoryBytes(std::uint64_t totalram, std::uint32_t memUnit) {
    std::uint64_t total = 0;
    if (__builtin_mul_overflow(totalram, std::uint64_t{memUnit}, &total)) return UINT64_MAX;
    return total;
}

std::string MemoryText(std::uint64_t bytes) { return std::to_string(bytes) + " Bytes"; }

std::optional<std::string> QueryVersionValue(std::string_view subBlock) {
    if (subBlock == kFileVersionPath) return VANTORIA_VERSION;
    return std::nullopt;
}

}  // namespace vantoria::about
