#include "platform/report/Reporter.h"

#include <cstdio>

namespace vantoria {
namespace {

StderrReporter defaultReporter;
Reporter* current = &defaultReporter;

}  // namespace

void StderrReporter::ShowError(const std::string& message, const std::string& detail) {
    std::string line = prefix_ + message;
    if (!detail.empty()) line += " (" + detail + ")";
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
