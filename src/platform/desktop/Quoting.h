#pragma once
// Putting a path into the texts that desktop tools parse, so that every
// character of it stays part of the one value (no quoting escapes).

#include <string>
#include <string_view>

namespace vantoria::desktop {

// "file://" and the absolute path with every byte other than letters,
// digits, "-._~" and "/" percent-encoded, e.g. "/a b" → "file:///a%20b".
std::string FileUri(std::string_view absolutePath);

// A GVariant text-format string literal, as gsettings parses its values:
// single quotes, with backslash, quote and control characters escaped.
std::string GVariantString(std::string_view text);

// A JavaScript string literal in double quotes.
std::string JavaScriptString(std::string_view text);

}  // namespace vantoria::desktop
