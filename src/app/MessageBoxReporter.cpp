#include "app/MessageBoxReporter.h"

#include "app/Application.h"

namespace vantoria {

void MessageBoxReporter::ShowError(const std::string& message) {
    Application::ShowException(QString::fromStdString(message));
}

}  // namespace vantoria
