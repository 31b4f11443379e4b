#include "app/CommandLine.h"

#include <QString>

namespace vantoria {

std::string JoinArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

bool IsDebugCommandLine(const std::string& text) {
    return QString::fromStdString(text).compare(QStringLiteral("/debug"), Qt::CaseInsensitive) == 0;
}

}  // namespace vantoria
