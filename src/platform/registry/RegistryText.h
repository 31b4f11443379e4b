#pragma once
// The registry file's text: the registry editor's export format,
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Brightmoss\Runo]
//   "PathPlugin"="/home/u"
//   @="default value"
//
// Inside quotes `\\` is a backslash and `\"` a quote; we also write a line
// feed as `\n` and a carriage return as `\r`, since a raw one would split the
// line. Names on Linux are bytes, not always UTF-8 (old Japanese archives):
// UTF-8 text is written as it is, and each byte that is no part of UTF-8
// text as `\x{HH}` (two upper-case hex digits, braces included), so the
// file stays UTF-8 and any byte string without NUL reads back exactly.
// Nothing we wrote before contains that escape (backslashes were doubled),
// and a hand-written Windows path would need a folder named "x{..}".
// Any other backslash stands for itself, so a hand-written "C:\path" reads
// as typed. Only string values are kept: lines of other
// kinds (dword:, hex:, deletions) are skipped like any unreadable line.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/registry/RegistryModel.h"

namespace vantoria::registry {

inline constexpr std::string_view kRegistryHeader = "Windows Registry Editor Version 5.00";

// What went wrong while parsing; all zero/false for a clean file.
struct ParseReport {
    std::size_t skippedLines = 0;  // lines in no known form, values outside a key
    bool invalidEncoding = false;  // NULs, or broken UTF-16 (replaced by U+FFFD)
    bool missingHeader = false;

    bool Clean() const { return skippedLines == 0 && !invalidEncoding && !missingHeader; }
    // e.g. "3 unreadable lines, bytes that are not text"; empty when clean.
    std::string Describe() const;
};

// Never fails: whatever can be read is returned, the rest is reported.
// UTF-8 (with or without a byte order mark, and with raw bytes of other
// encodings) and UTF-16 with a byte order mark, as the registry editor
// itself writes, are accepted.
RegistryModel ParseRegistryText(std::string_view bytes, ParseReport& report);

// UTF-8, LF line ends, a blank line after the header and after every block.
std::string FormatRegistryText(const RegistryModel& model);

}  // namespace vantoria::registry
