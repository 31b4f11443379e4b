#pragma once
// Keeps what would have been shown to the user, for the test to look at.

#include "platform/report/Reporter.h"

#include <string>
#include <vector>

namespace vantoria::test {

class RecordingReporter final : public Reporter {
public:
    void ShowError(const std::string& message, const std::string& detail) override {
        messages.push_back(message);
        details.push_back(detail);
    }
    std::vector<std::string> messages, details;
};

}  // namespace vantoria::test
