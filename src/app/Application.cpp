#include "app/Application.h"

#include "app/AppState.h"
#include "app/FormFonts.h"
#include "app/QtStateFolder.h"

#include <QFont>
#include <QMessageBox>
#include <QStyleHints>
#include <cstdlib>
#include <exception>

namespace vantoria {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vantoria"));  // the tray item's title
    setQuitOnLastWindowClosed(false);  // the program lives in the tray
    KeepQtStateOutOfSettings();
    // The forms are drawn in this Japanese proportional gothic at 12 px.
    RegisterFormFonts();
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    // Tests of the tray's clicks fix the double-click interval the desktop
    // would give, so that they can time their clicks against it.
    if (const char* text = std::getenv("VANTORIA_DOUBLE_CLICK_MS")) {
        char* end = nullptr;
        const long ms = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && ms >= 100 && ms <= 10000)
            styleHints()->setMouseDoubleClickInterval(static_cast<int>(ms));
    }
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    }
    return false;
}

void Application::ShowException(const QString& message, const QString& detail) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kAppTitle), message, QMessageBox::Ok);
    // The detail (the file or the library's own words) is shown below the
    // message: a details button would make it a box of two buttons.
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

}  // namespace vantoria
