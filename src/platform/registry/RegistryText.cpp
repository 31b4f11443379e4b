#include "platform/registry/RegistryText.h"

#include <optional>

#include <QString>
#include <QStringDecoder>

#include "platform/registry/RegistryPath.h"

namespace vantoria::registry {
namespace {

std::string DecodeToUtf8(std::string_view bytes, ParseReport& report) {
    auto encoding = QStringConverter::Utf8;
    if (bytes.starts_with("\xFF\xFE"))
        encoding = QStringConverter::Utf16LE;
    else if (bytes.starts_with("\xFE\xFF"))
        encoding = QStringConverter::Utf16BE;
    QStringDecoder decoder(encoding);  // drops a leading byte order mark
    QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError()) report.invalidEncoding = true;
    // A NUL would end the text of a Windows string value; it has no place here.
    if (text.contains(QChar(u'\0'))) {
        report.invalidEncoding = true;
        text.remove(QChar(u'\0'));
    }
    return text.toStdString();
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
    out += '"';
    for (const char c : text) {
        switch (c) {
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
    if (invalidEncoding) add("bytes that are not UTF-8");
    return text;
}

RegistryModel ParseRegistryText(std::string_view bytes, ParseReport& report) {
    const std::string text = DecodeToUtf8(bytes, report);
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
