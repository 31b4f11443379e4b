#pragma once
// Where user-visible error messages go. The tray program shows a message box
// (caption "Vantoria", stop icon, one OK button); the command line prints one
// line to standard error, which is also the default.

#include <string>

namespace vantoria {

class Reporter {
public:
    virtual ~Reporter() = default;
    // `message` is the text the user sees; `detail`, possibly empty, says
    // what exactly went wrong (a message box offers it on request, the
    // command line appends it).
    virtual void ShowError(const std::string& message, const std::string& detail) = 0;
};

// One line on standard error: "<prefix>message (detail)".
class StderrReporter final : public Reporter {
public:
    explicit StderrReporter(std::string prefix = {}) : prefix_(std::move(prefix)) {}
    void ShowError(const std::string& message, const std::string& detail) override;

private:
    std::string prefix_;
};

// The reporter in force; never null. Passing nullptr restores the default,
// a StderrReporter without prefix.
Reporter& CurrentReporter();
void SetReporter(Reporter* reporter);

// Shorthand for CurrentReporter().ShowError(message, detail).
void ReportError(const std::string& message, const std::string& detail = {});

}  // namespace vantoria
