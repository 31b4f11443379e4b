#include "app/MessageBoxReporter.h"

#include "app/Application.h"

namespace vantoria {

void MessageBoxReporter::ShowError(const std::string& message, const std::string& detail) {
    Application::ShowException(QString::fromStdString(message), QString::fromStdString(detail));
}

}  // namespace vantoria
