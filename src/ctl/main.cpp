// vantoria-ctl: a small client of the tray program's session-bus interface.

#include "ctl/CtlCommand.h"

#include <QCoreApplication>

#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string here = ".";
    if (char* cwd = ::getcwd(nullptr, 0)) {
        here = cwd;
        ::free(cwd);
    }
    return vantoria::ctl::RunCtl(args, here);
}
