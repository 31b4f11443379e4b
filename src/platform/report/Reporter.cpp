#include "platform/report/Reporter.h"

#include "platform/report/TerminalText.h"

#include <cstdio>

namespace vantoria {
namespace {

StderrReporter defaultReporter;
Reporter* current = &defaultReporter;

}  // namespace

void StderrReporter::ShowError(const std::string& message, const std::string& detail) {
    // Messages carry file names: a hostile one must not write to the
    // terminal, nor break the one line an error takes.
    std::string line = prefix_ + EscapedMessage(message);
    if (!detail.empty()) line += " (" + EscapedMessage(detail) + ")";
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

Reporter& CurrentReporter() { return *current; }

void SetReporter(Reporter* reporter) { current = reporter ? reporter : &defaultReporter; }

void ReportError(const std::string& message, const std::string& detail) {
    CurrentReporter().ShowError(message, detail);
}

}  // namespace vantoria
