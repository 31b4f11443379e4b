#pragma once
// The application object. An error that escapes an event handler is shown
// in one message box and the program goes on, as the user expects of a
// desktop program; it never takes the whole program down.

#include <QApplication>

namespace vantoria {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error message: caption "Vantoria", stop icon, one OK button;
    // a non-empty detail is shown below the message.
    static void ShowException(const QString& message, const QString& detail = {});
};

}  // namespace vantoria
