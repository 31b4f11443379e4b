#pragma once
// Qt's own widgets keep state of theirs (the file dialogs' last folder,
// sidebar and history) in QSettings files of the organisation "QtProject",
// by default in $XDG_CONFIG_HOME, where they would sit among our settings.

#include <QString>

namespace vantoria {

// Where that state goes instead: $XDG_STATE_HOME/vantoria
// (~/.local/state/vantoria), computed from the environment now.
QString QtStateFolder();

// Sends Qt's state there. Called before any widget reads it.
void KeepQtStateOutOfSettings();

}  // namespace vantoria
