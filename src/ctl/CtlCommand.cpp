#include "ctl/CtlCommand.h"

#include "app/ControlService.h"
#include "platform/report/TerminalText.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringConverter>

#include <cstdio>
#include <filesystem>

namespace vantoria::ctl {
namespace {

constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

void PrintLine(std::FILE* to, const std::string& text) {
    std::fprintf(to, "vantoria-ctl: %s\n", EscapedMessage(text).c_str());
}

bool IsUtf8(const std::string& text) {
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() only says what to decode; the text is read once it is made a string.
    const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return !decoder.hasError();
}

class Client {
public:
    Client()
        : known_(SessionBusKnown()),
          bus_(known_ ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("none"))) {}

    // 2 with a line when nobody answers for the name.
    int Reachable() {
        if (!known_ || !bus_.isConnected()) {
            PrintLine(stderr, "no session bus, so no tray program to talk to");
            return kNotRunning;
        }
        if (!bus_.interface() || !bus_.interface()->isServiceRegistered(QString::fromLatin1(kBusName)).value()) {
            PrintLine(stderr, "the tray program is not running (nothing owns example.brightmoss.Vantoria)");
            return kNotRunning;
        }
        return kOk;
    }

    // The answer, or the exit status for a failure (after saying why).
    int Call(const char* interface, const char* method, const QVariantList& args, QDBusMessage* reply = nullptr) {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
                                                           QString::fromLatin1(interface), QString::fromLatin1(method));
        call.setArguments(args);
        // Long enough for a large picture on a slow machine.
        const QDBusMessage answer = bus_.call(call, QDBus::Block, 120'000);
        if (answer.type() == QDBusMessage::ErrorMessage) {
            const QString name = answer.errorName();
            if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
                name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
                PrintLine(stderr, "the tray program is not running (" + answer.errorMessage().toStdString() + ")");
                return kNotRunning;
            }
            PrintLine(stderr, answer.errorMessage().toStdString());
            return kFailed;
        }
        if (reply) *reply = answer;
        return kOk;
    }

    int Get(const char* property, QVariant& value) {
        QDBusMessage reply;
        const int code = Call(kProperties, "Get",
                              {QString::fromLatin1(kBusInterface), QString::fromLatin1(property)}, &reply);
        if (code == kOk && !reply.arguments().isEmpty()) value = reply.arguments().front().value<QDBusVariant>().variant();
        return code;
    }

    int Set(const char* property, const QVariant& value) {
        return Call(kProperties, "Set",
                    {QString::fromLatin1(kBusInterface), QString::fromLatin1(property),
                     QVariant::fromValue(QDBusVariant(value))});
    }

private:
    bool known_;
    QDBusConnection bus_;
};

}  // namespace

std::string Usage() {
    return "usage: vantoria-ctl COMMAND\n"
           "Drives the running Vantoria tray program over the session bus.\n"
           "\n"
           "  next         the next picture of the automatic change's sequence\n"
           "  previous     back to the picture shown before\n"
           "  redraw       draw the current wallpaper again\n"
           "  set FILE     make FILE the wallpaper, as the chooser's OK does\n"
           "  show         open the wallpaper chooser\n"
           "  settings     open the settings\n"
           "  status       the current picture and whether the automatic change is on\n"
           "  pause        turn the automatic change off\n"
           "  resume       turn the automatic change on\n"
           "\n"
           "status shows control characters in the file name escaped (\\n, \\x1b)\n"
           "and a backslash doubled.\n"
           "\n"
           "Exit status 0 on success, 1 when the program refused (the reason on\n"
           "standard error), 2 when no tray program is running.\n";
}

int RunCtl(const std::vector<std::string>& args, const std::string& workDir) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        std::fputs(Usage().c_str(), stdout);
        return kOk;
    }
    const std::string command = args.empty() ? std::string() : args[0];
    const std::size_t wanted = command == "set" ? 2 : 1;
    static const char* const kCommands[] = {"next", "previous", "redraw", "set", "show",
                                            "settings", "status", "pause", "resume"};
    bool known = false;
    for (const char* c : kCommands) known = known || command == c;
    if (!known || args.size() != wanted) {
        PrintLine(stderr, command.empty()       ? "no command given (see --help)"
                          : !known              ? "unknown command \"" + command + "\" (see --help)"
                          : command == "set"    ? "set takes one picture file (see --help)"
                                                : command + " takes no arguments (see --help)");
        return kFailed;
    }
    std::string file;
    if (command == "set") {
        file = args[1];
        if (file.empty()) {
            PrintLine(stderr, "the picture file name is empty");
            return kFailed;
        }
        if (!file.starts_with('/')) file = (std::filesystem::path(workDir) / file).string();
        if (!IsUtf8(file)) {
            PrintLine(stderr, "the session bus carries only UTF-8 file names, and " + file + " is not one");
            return kFailed;
        }
    }

    Client client;
    if (const int code = client.Reachable(); code != kOk) return code;
    if (command == "next") return client.Call(kBusInterface, "Next", {});
    if (command == "previous") return client.Call(kBusInterface, "Previous", {});
    if (command == "redraw") return client.Call(kBusInterface, "Redraw", {});
    if (command == "show") return client.Call(kBusInterface, "ShowChooser", {});
    if (command == "settings") return client.Call(kBusInterface, "ShowSettings", {});
    if (command == "set") return client.Call(kBusInterface, "SetWallpaper", {QString::fromStdString(file)});
    if (command == "pause" || command == "resume") return client.Set("AutoChange", command == "resume");
    QVariant wallpaper, autoChange;
    if (const int code = client.Get("Wallpaper", wallpaper); code != kOk) return code;
    if (const int code = client.Get("AutoChange", autoChange); code != kOk) return code;
    std::printf("wallpaper: %s\nautomatic change: %s\n", EscapedValue(wallpaper.toString().toStdString()).c_str(),
                autoChange.toBool() ? "on" : "off");
    return kOk;
}

}  // namespace vantoria::ctl
