#include "platform/report/Reporter.h"

#include <cstdio>

namespace vantoria {
namespace {

class StderrReporter final : public Reporter {
public:
    void ShowError(const std::string& message, const std::string& detail) override {
        if (detail.empty()) {
            std::fprintf(stderr, "%s\n", message.c_str());
        } else {
            std::fprintf(stderr, "%s (%s)\n", message.c_str(), detail.c_str());
        }
        std::fflush(stderr);
    }
};

StderrReporter defaultReporter;
Reporter* current = &defaultReporter;

}  // namespace

Reporter& CurrentReporter() { return *current; }

void SetReporter(Reporter* reporter) { current = reporter ? reporter : &defaultReporter; }

void ReportError(const std::string& message, const std::string& detail) {
    CurrentReporter().ShowError(message, detail);
}

}  // namespace vantoria
