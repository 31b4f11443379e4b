#include "app/QtStateFolder.h"

#include <QDir>
#include <QSettings>

namespace vantoria {

QString QtStateFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The base-directory rules: a relative path is ignored.
    if (state.isEmpty() || QDir::isRelativePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/vantoria");
}

void KeepQtStateOutOfSettings() {
    const QString folder = QtStateFolder();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

}  // namespace vantoria
