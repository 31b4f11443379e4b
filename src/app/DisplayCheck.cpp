#include "app/DisplayCheck.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vantoria {
namespace {

QtMessageHandler previous = nullptr;
QByteArrayList warnings;  // what Qt said while its platform started

bool Set(const char* value) { return value && *value; }

void OnStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        warnings.push_back(text.toUtf8());
        return;
    }
    if (warnings.isEmpty()) warnings.push_back(text.section(QLatin1Char('\n'), 0, 0).toUtf8());
    const std::string line = StartFailureLine(warnings, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    std::fprintf(stderr, "%s\n", line.c_str());
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

std::string ChoosePlatform(const char* qpaPlatform, const char* waylandDisplay, const char* x11Display,
                           bool platformArgument) {
    if (Set(qpaPlatform) || platformArgument) return "";
    return Set(waylandDisplay) && !Set(x11Display) ? "wayland" : "";
}

bool HasPlatformArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    return false;
}

std::vector<char*> ArgumentsWithPlatform(int argc, char** argv, std::string& platform) {
    static char option[] = "-platform";
    std::vector<char*> args(argv, argv + argc);
    if (!platform.empty() && !args.empty()) args.insert(args.begin() + 1, {option, platform.data()});
    args.push_back(nullptr);  // argv[argc], as the C runtime gives it
    return args;
}

std::string StartFailureLine(const QByteArrayList& warnings, const char* waylandDisplay, const char* x11Display) {
    const auto line = [](const std::string& why) { return "vantoria: cannot open the display (" + why + ")"; };
    if (!Set(waylandDisplay) && !Set(x11Display))
        return line("neither WAYLAND_DISPLAY nor DISPLAY is set; start it in a desktop session");
    for (const QByteArray& text : warnings) {
        // Qt names a platform plug-in it has not got.
        if (text.contains("Could not find the Qt platform plugin \"wayland\""))
            return line("Qt's Wayland platform plug-in is missing; on Debian: apt install qt6-wayland");
        if (text.contains("Could not find the Qt platform plugin \"xcb\""))
            return line("Qt's X11 platform plug-in is missing; on Debian: apt install libqt6gui6");
    }
    // Otherwise the first thing Qt said is the reason (a display it could
    // not connect to); later lines only repeat that the plug-in failed.
    return line(warnings.isEmpty() ? std::string("no reason given") : warnings.front().toStdString());
}

}  // namespace vantoria
