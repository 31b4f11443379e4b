#pragma once
#include "platform/report/Reporter.h"

namespace vantoria {

// Error messages of the tray program: a message box with the caption
// "Vantoria", the stop icon and one OK button; the detail, if any, behind
// the box's details button.
class MessageBoxReporter final : public Reporter {
public:
    void ShowError(const std::string& message, const std::string& detail) override;
};

}  // namespace vantoria
