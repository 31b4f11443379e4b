#include "platform/registry/RegistryText.h"

#include <optional>

#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {
namespace {

// Appends code point `c` as UTF-8.
void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 after its byte order mark, as UTF-8. A lone surrogate, or an odd
// last byte, becomes U+FFFD and sets `invalid`.
std::string Utf16ToUtf8(std::string_view bytes, bool littleEndian, bool& invalid) {
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char16_t>(littleEndian ? a | b << 8 : a << 8 | b);
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 2;  // past the mark
    for (; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            const char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                PutUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u < 0xE000) {
            invalid = true;
            PutUtf8(out, 0xFFFD);
        } else {
            PutUtf8(out, u);
        }
    }
    if (i < bytes.size()) {
        invalid = true;
        PutUtf8(out, 0xFFFD);
    }
    return out;
}

// The file's text as bytes. UTF-16 (with its byte order mark, as the
// registry editor writes it) is converted to UTF-8; anything else is taken
// byte for byte, so that names in other encodings that an older version
// wrote raw are read back exactly.
std::string FileText(std::string_view bytes, ParseReport& report) {
    std::string text;
    const bool le = bytes.starts_with("\xFF\xFE"), be = bytes.starts_with("\xFE\xFF");
    if (le || be) {
        bool invalid = false;
        text = Utf16ToUtf8(bytes, le, invalid);
        if (invalid) report.invalidEncoding = true;
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        text = bytes;
    }
    // A NUL would end the text of a Windows string value; it has no place here.
    if (const auto nul = std::erase(text, '\0'); nul > 0) report.invalidEncoding = true;
    return text;
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto at = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = at(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - i < length || at(i + 1) < low || at(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    return length;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte of an escape "\x{HH}" whose backslash is at text[i]; -1 when
// the text there is no such escape (or would be a NUL).
int EscapedByte(std::string_view text, std::size_t i) {
    if (text.size() - i < 6 || text.substr(i, 3) != "\\x{" || text[i + 5] != '}') return -1;
    const int high = HexDigit(text[i + 3]), low = HexDigit(text[i + 4]);
    if (high < 0 || low < 0 || (high | low) == 0) return -1;
    return high * 16 + low;
}

std::string_view Trim(std::string_view line) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    return line;
}

// Reads a quoted text starting at line[pos] == '"'; on success pos is just
// past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string text;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (i + 1 >= line.size()) return std::nullopt;  // cut off after a backslash
        if (const int byte = EscapedByte(line, i); byte >= 0) {
            text += static_cast<char>(byte);
            i += 5;
            continue;
        }
        const char next = line[++i];
        switch (next) {
            case '\\': text += '\\'; break;
            case '"': text += '"'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            default: text += '\\'; text += next; break;
        }
    }
    return std::nullopt;  // no closing quote: the line was cut off
}

void SkipBlanks(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

struct ValueLine {
    std::string name;
    std::string data;
};

std::optional<ValueLine> ParseValueLine(std::string_view line) {
    ValueLine value;
    std::size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else {
        auto name = ReadQuoted(line, pos);
        if (!name) return std::nullopt;
        value.name = std::move(*name);
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') return std::nullopt;
    ++pos;
    SkipBlanks(line, pos);
    auto data = ReadQuoted(line, pos);
    if (!data || pos != line.size()) return std::nullopt;
    value.data = std::move(*data);
    return value;
}

std::optional<std::string> ParseKeyLine(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') return std::nullopt;
    const std::string_view inner = line.substr(1, line.size() - 2);
    if (!EqualIgnoringCase(inner.substr(0, 5), "HKEY_")) return std::nullopt;
    if (!WithinKeyLimits(inner)) return std::nullopt;
    return JoinKeyPath("", inner);
}

// Every key is stored with its full path, and a header line also creates its
// missing ancestors, so even within the key limits one line can ask for a
// quadratic amount of memory. An export names each key on a line of its own
// and stays far below this allowance; a hostile file loses the lines beyond it.
class KeyPathAllowance {
public:
    explicit KeyPathAllowance(std::size_t textSize) : left_(2 * textSize + (std::size_t{1} << 20)) {}

    // Creates the key if the allowance permits; false leaves the model as it was.
    bool Create(RegistryModel& model, const std::string& path) {
        if (model.HasKey(path)) return true;
        // Upper bound: the path and every ancestor's path are all new.
        std::size_t most = path.size();
        for (std::size_t i = 0; i < path.size(); ++i)
            if (path[i] == '\\') most += i;
        if (most > left_) return false;
        const std::size_t before = model.Keys().size();
        model.CreateKey(path);
        for (std::size_t i = before; i < model.Keys().size(); ++i) left_ -= model.Keys()[i].Path().size();
        return true;
    }

private:
    std::size_t left_;
};

bool IsHeader(std::string_view line) {
    return line == kRegistryHeader || line == "REGEDIT4";
}

void AppendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {  // a byte that is no part of UTF-8 text
            const auto byte = static_cast<unsigned char>(text[i++]);
            out += "\\x{";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
            out += '}';
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        switch (const char c = text[i++]) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c; break;
        }
    }
    out += '"';
}

}  // namespace

std::string ParseReport::Describe() const {
    std::string text;
    const auto add = [&text](const std::string& part) {
        if (!text.empty()) text += ", ";
        text += part;
    };
    if (missingHeader) add("no header line");
    if (skippedLines == 1) add("1 unreadable line");
    if (skippedLines > 1) add(std::to_string(skippedLines) + " unreadable lines");
    if (invalidEncoding) add("bytes that are not text");
    return text;
}

RegistryModel ParseRegistryText(std::string_view bytes, ParseReport& report) {
    const std::string text = FileText(bytes, report);
    RegistryModel model;
    std::optional<std::string> currentKey;  // none before the first block or after a bad one
    bool sawContent = false;
    KeyPathAllowance allowance(text.size());

    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;

        if (!sawContent) {
            sawContent = true;
            if (IsHeader(line)) continue;
            report.missingHeader = true;
        }
        if (IsHeader(line)) continue;  // e.g. two exports pasted together

        if (line.front() == '[') {
            currentKey = ParseKeyLine(line);
            if (currentKey && !allowance.Create(model, *currentKey)) currentKey.reset();
            if (!currentKey) ++report.skippedLines;
            continue;
        }
        if (line.front() == '"' || line.front() == '@') {
            auto value = ParseValueLine(line);
            if (value && currentKey) {
                model.SetValue(*currentKey, value->name, std::move(value->data));
                continue;
            }
        }
        ++report.skippedLines;
    }
    if (!sawContent) report.missingHeader = true;  // empty or cut off before the header
    return model;
}

std::string FormatRegistryText(const RegistryModel& model) {
    std::string out(kRegistryHeader);
    out += "\n\n";
    for (const RegistryKey& key : model.Keys()) {
        out += '[';
        for (const char c : key.Path()) out += (c == '\n' || c == '\r') ? ' ' : c;  // keep one line
        out += "]\n";
        for (const RegistryValue& value : key.Values()) {
            if (value.name.empty())
                out += '@';
            else
                AppendQuoted(out, value.name);
            out += '=';
            AppendQuoted(out, value.data);
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

}  // namespace vantoria::registry
