#include "app/DisplayCheck.h"

#include <QByteArrayList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace vantoria {
namespace {

QtMessageHandler previous = nullptr;
QByteArrayList warnings;  // what Qt said while its platform started

void OnStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        warnings.push_back(text.toUtf8());
        return;
    }
    // Qt explains the failure in a warning before its long fatal message.
    const QByteArray why = warnings.isEmpty() ? text.section(QLatin1Char('\n'), 0, 0).toUtf8() : warnings.back();
    std::fprintf(stderr, "vantoria: cannot open the display (%s)\n", why.constData());
    std::fflush(stderr);
    std::_Exit(1);  // nothing else has started yet
}

}  // namespace

DisplayStartGuard::DisplayStartGuard() { previous = qInstallMessageHandler(OnStartMessage); }

DisplayStartGuard::~DisplayStartGuard() {
    qInstallMessageHandler(previous);
    // Warnings from a start that worked are printed after all.
    for (const QByteArray& text : warnings) std::fprintf(stderr, "%s\n", text.constData());
    warnings.clear();
}

}  // namespace vantoria
