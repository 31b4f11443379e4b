#include "change/ExecRunAp.h"

#include "platform/report/Reporter.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantoria {

bool ExecRunAp(const std::string& commandLine) {
    if (commandLine.empty()) return true;
    QStringList words = QProcess::splitCommand(QString::fromStdString(commandLine));
    std::string why;
    if (words.isEmpty()) {
        why = "the command line names no program";
    } else {
        QProcess process;
        process.setProgram(words.takeFirst());
        process.setArguments(words);
        process.setStandardInputFile(QProcess::nullDevice());
        if (process.startDetached()) return true;
        why = process.errorString().toStdString();
    }
    ReportError(i18n::Translate(kCannotStartMessage), commandLine + ": " + why);
    return false;
}

}  // namespace vantoria
