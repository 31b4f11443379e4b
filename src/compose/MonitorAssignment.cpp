#include "compose/MonitorAssignment.h"

#include <cstdio>

namespace vantoria::compose {
namespace {

std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            out += code;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

MonitorFiles ParseMonitorFiles(std::string_view text) {
    MonitorFiles files;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0) continue;  // not ours: dropped
        std::string file = Unescape(line.substr(tab + 1));
        if (!file.empty()) files[Unescape(line.substr(0, tab))] = std::move(file);
    }
    return files;
}

std::string FormatMonitorFiles(const MonitorFiles& files) {
    std::string text;
    for (const auto& [identity, file] : files) text += Escape(identity) + "\t" + Escape(file) + "\n";
    return text;
}

std::string AssignInTurn(const MonitorList& monitors, const std::function<std::string()>& next,
                         MonitorFiles& files) {
    if (monitors.empty()) return next();
    const Monitor& primary = PrimaryMonitor(monitors);
    std::string first = next();
    for (const Monitor& m : monitors) {
        if (&m == &primary) continue;
        std::string file = next();
        if (!file.empty()) files[m.Identity()] = std::move(file);
    }
    return first;
}

}  // namespace vantoria::compose
