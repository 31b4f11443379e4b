#pragma once
// Where user-visible error messages go. The tray program shows a message box
// (caption "Vantoria", stop icon, one OK button); the command line prints one
// line to standard error, which is also the default.

#include <string>

namespace vantoria {

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void ShowError(const std::string& message) = 0;
};

// The reporter in force; never null. Passing nullptr restores the default.
Reporter& CurrentReporter();
void SetReporter(Reporter* reporter);

// Shorthand for CurrentReporter().ShowError(message).
void ReportError(const std::string& message);

}  // namespace vantoria
