// vantoria-start COMMANDLINE: starts the after-change program for
// vantoria-change, which loads no Qt of its own, as the tray program starts
// it (ExecRunAp). Exit status 0 when it started, otherwise 1 with the reason
// on standard error.

#include "change/ExecRunAp.h"
#include "platform/i18n/Messages.h"
#include "platform/report/Reporter.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    vantoria::i18n::LoadMessages();
    vantoria::StderrReporter reporter("vantoria-change: ");
    vantoria::SetReporter(&reporter);
    const bool started = vantoria::ExecRunAp(argv[1]);
    vantoria::SetReporter(nullptr);
    return started ? 0 : 1;
}
