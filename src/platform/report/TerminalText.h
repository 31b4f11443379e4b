#pragma once
// Text from files, settings and the tray program, made safe to print on a
// terminal: control characters, which could move the cursor, clear the
// screen or start a line that looks like ours, are shown escaped instead.
// Letters of any language stay as they are.

#include <string>
#include <string_view>

namespace vantoria {

// A value on a line of its own ("wallpaper: <value>"): every control
// character escaped, \n \r \t by their names, the rest as \xNN (bytes, DEL,
// and bytes that are not UTF-8) or \uNNNN (C1 controls, direction overrides,
// line and paragraph separators); a backslash is doubled, so that the line
// reads back as exactly one name.
std::string EscapedValue(std::string_view text);

// A message: the same, except that line breaks become spaces (a message
// box's lines, one line here) and backslashes stay single.
std::string EscapedMessage(std::string_view text);

}  // namespace vantoria
