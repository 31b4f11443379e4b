// vantoria-ctl: a small client of the tray program's session-bus interface.

#include "ctl/CtlCommand.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The command says what it has to say itself, an error on one line; Qt's own
// diagnostics (QtDBus reports reply types it cannot build as it shuts down)
// would follow that line and are not for the user.
void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(DropQtMessages);
    const QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string here = ".";
    if (char* cwd = ::getcwd(nullptr, 0)) {
        here = cwd;
        ::free(cwd);
    }
    return vantoria::ctl::RunCtl(args, here);
}
