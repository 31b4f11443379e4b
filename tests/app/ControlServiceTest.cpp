// The session-bus interface and vantoria-ctl, on a private bus, against a
// host that records what it was asked and fails where told to.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>

#include <sstream>

#include "app/ControlHost.h"
#include "app/ControlService.h"
#include "platform/report/Reporter.h"
#include "support/Child.h"

// Last: Xlib's macros would break the Qt headers.
#include "desktops/DesktopSession.h"

namespace vantoria {
namespace {

using test::Child;
using test::TempDir;

class FakeHost final : public ControlHost {
public:
    void Next() override { Do("next"); }
    bool Previous() override {
        Do("previous");
        return havePrevious;
    }
    void Redraw() override { Do("redraw"); }
    void SetWallpaper(const std::string& path) override {
        Do("set " + path);
        if (failure.empty()) wallpaper = path;
    }
    void ShowChooser() override { calls.push_back("chooser"); }
    void ShowSettings() override { calls.push_back("settings"); }
    std::string Wallpaper() const override { return wallpaper; }
    bool AutoChange() const override { return autoChange; }
    void SetAutoChange(bool on) override {
        calls.push_back(on ? "auto on" : "auto off");
        autoChange = on;
    }

    void Do(const std::string& what) {
        calls.push_back(what);
        if (!failure.empty()) ReportError(failure, "detail");
    }

    std::vector<std::string> calls;
    std::string failure;
    std::string wallpaper = "/pics/a.png";
    bool autoChange = false;
    bool havePrevious = true;
};

class SignalRecorder : public QObject {
    Q_OBJECT
public slots:
    void Changed(const QString& path) { seen.append(path); }

public:
    QStringList seen;
};

// A reporter that counts what reached the user directly.
class CountingReporter final : public Reporter {
public:
    void ShowError(const std::string&, const std::string&) override { ++shown; }
    int shown = 0;
};

class ControlServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bus_ = std::make_unique<test::SessionBus>(std::map<std::string, std::string>{}, "/");
        address_ = bus_->Address();
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
        static int argc = 1;
        static char name[] = "control_service_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    static void TearDownTestSuite() {
        app_.reset();
        bus_.reset();
    }

    void SetUp() override {
        ASSERT_FALSE(address_.empty()) << "no dbus-daemon";
        SetReporter(&reporter_);
    }
    void TearDown() override { SetReporter(nullptr); }

    // vantoria-ctl, while this process's event loop answers its calls.
    int Ctl(const QStringList& args, std::string* err = nullptr, std::string* out = nullptr,
            const QString& busAddress = {}) {
        QProcess ctl;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!busAddress.isEmpty()) env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        ctl.setProcessEnvironment(env);
        ctl.setWorkingDirectory(QString::fromStdString(work_.Path()));
        ctl.start(QStringLiteral(VANTORIA_CTL_PROGRAM), args);
        QElapsedTimer clock;
        clock.start();
        while (ctl.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            ctl.waitForFinished(10);
        }
        if (err) *err = ctl.readAllStandardError().toStdString();
        if (out) *out = ctl.readAllStandardOutput().toStdString();
        return ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
    }

    static void Spin(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    static inline std::unique_ptr<test::SessionBus> bus_;
    static inline std::unique_ptr<QCoreApplication> app_;
    static inline std::string address_;
    TempDir work_;
    CountingReporter reporter_;
};

TEST_F(ControlServiceTest, EveryCommandReachesTheProgramAndFailuresComeBackAsTheirMessage) {
    std::string err, out;
    // Nobody on the bus yet, and no bus at all: 2.
    EXPECT_EQ(Ctl({"next"}, &err), 2);
    EXPECT_NE(err.find("not running"), std::string::npos) << err;
    EXPECT_EQ(Ctl({"next"}, &err, nullptr, QStringLiteral("unix:path=/nonexistent/bus")), 2) << err;

    FakeHost host;
    ControlService service(host);
    QString why;
    ASSERT_TRUE(service.Register(why)) << why.toStdString();

    for (const char* command : {"next", "previous", "redraw", "show", "settings", "pause", "resume"}) {
        EXPECT_EQ(Ctl({QString::fromLatin1(command)}, &err), 0) << command << ": " << err;
        Spin(100);  // the dialogs open once the call is answered
    }
    EXPECT_EQ(Ctl({"set", "rel dir/$(x) 'b'.png"}, &err), 0) << err;
    const std::vector<std::string> expected{"next", "previous", "redraw", "chooser", "settings", "auto off", "auto on",
                                            "set " + work_.Path() + "/rel dir/$(x) 'b'.png"};
    EXPECT_EQ(host.calls, expected);

    EXPECT_EQ(Ctl({"status"}, &err, &out), 0) << err;
    EXPECT_EQ(out, "wallpaper: " + work_.Path() + "/rel dir/$(x) 'b'.png\nautomatic change: on\n");

    // A failure: exit 1 with the message box's text and its detail on one line, and no box.
    host.failure = "壁紙を作成できません。\nもう一度";
    for (const char* command : {"next", "redraw"}) {
        EXPECT_EQ(Ctl({QString::fromLatin1(command)}, &err), 1) << command;
        EXPECT_EQ(err, "vantoria-ctl: 壁紙を作成できません。 もう一度 (detail)\n") << command;
    }
    EXPECT_EQ(Ctl({"set", "/x.png"}, &err), 1);
    host.failure.clear();
    host.havePrevious = false;
    EXPECT_EQ(Ctl({"previous"}, &err), 1);
    EXPECT_NE(err.find("no earlier picture"), std::string::npos) << err;
    EXPECT_EQ(reporter_.shown, 0);

    // Usage mistakes, and help.
    EXPECT_EQ(Ctl({}, &err), 1);
    EXPECT_EQ(Ctl({"jump"}, &err), 1);
    EXPECT_NE(err.find("unknown command"), std::string::npos);
    EXPECT_EQ(Ctl({"set"}, &err), 1);
    // A name that is not UTF-8 would reach the program mangled: refused here.
    const std::size_t callsBefore = host.calls.size();
    Child notUtf8(VANTORIA_CTL_PROGRAM, {"set", "/pics/bad\xff.png"}, {}, work_.Path());
    EXPECT_EQ(notUtf8.Wait(), 1);
    EXPECT_NE(notUtf8.Output().find("UTF-8"), std::string::npos) << notUtf8.Output();
    EXPECT_EQ(host.calls.size(), callsBefore);
    EXPECT_EQ(Ctl({"next", "x"}, &err), 1);
    EXPECT_EQ(Ctl({"--help"}, &err, &out), 0);
    EXPECT_NE(out.find("usage: vantoria-ctl"), std::string::npos);
    QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(kBusName));
}

// A file name made to forge lines or steer the terminal prints as one
// honest line; other languages' letters stay as they are.
TEST_F(ControlServiceTest, ControlCharactersFromNamesAndMessagesPrintEscaped) {
    FakeHost host;
    ControlService service(host);
    QString why;
    ASSERT_TRUE(service.Register(why)) << why.toStdString();
    std::string err, out;

    host.wallpaper = "/pics/\x1b]0;owned\x07\x1b[2J\nautomatic change: on\r\t\x7f a\\nb \xc2\x9b" "1m"
                     " \xe2\x80\xaegnp.exe \xe2\x80\xa8 写真 Ünïcödé.png";
    EXPECT_EQ(Ctl({"status"}, &err, &out), 0) << err;
    EXPECT_EQ(out, "wallpaper: /pics/\\x1b]0;owned\\x07\\x1b[2J\\nautomatic change: on\\r\\t\\x7f a\\\\nb \\u009b1m"
                   " \\u202egnp.exe \\u2028 写真 Ünïcödé.png\nautomatic change: off\n");

    // A message keeps its line breaks as spaces and its backslashes single.
    host.failure = "cannot read /pics/\x1b[31mred\x1b[0m\nvantoria-ctl: all is well \\HKEY";
    EXPECT_EQ(Ctl({"next"}, &err), 1);
    EXPECT_EQ(err, "vantoria-ctl: cannot read /pics/\\x1b[31mred\\x1b[0m vantoria-ctl: all is well \\HKEY (detail)\n");
    Child typed(VANTORIA_CTL_PROGRAM, {"\x1b[1Ajump\xff"}, {}, work_.Path());
    EXPECT_EQ(typed.Wait(), 1);
    EXPECT_EQ(typed.Output(), "vantoria-ctl: unknown command \"\\x1b[1Ajump\\xff\" (see --help)\n");
    QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(kBusName));
}

TEST_F(ControlServiceTest, PropertiesAndTheChangeSignalOnTheBus) {
    FakeHost host;
    ControlService service(host);
    QString why;
    ASSERT_TRUE(service.Register(why)) << why.toStdString();

    // Another connection, as a script would be.
    QDBusConnection other = QDBusConnection::connectToBus(QString::fromStdString(address_), QStringLiteral("other"));
    ASSERT_TRUE(other.isConnected());
    SignalRecorder receiver;
    QStringList& seen = receiver.seen;
    ASSERT_TRUE(other.connect(QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
                              QString::fromLatin1(kBusInterface), QStringLiteral("WallpaperChanged"), &receiver,
                              SLOT(Changed(QString))));

    // Plain messages: an interface object would ask this very process to
    // describe itself, and wait for the answer.
    auto call = [&](const char* interface, const char* method, const QVariantList& args) {
        QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kBusPath),
                                                              QString::fromLatin1(interface), QString::fromLatin1(method));
        message.setArguments(args);
        QDBusPendingCall pending = other.asyncCall(message);
        QElapsedTimer clock;
        clock.start();
        while (!pending.isFinished() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return pending;
    };
    // The answers need this process's loop: the calls go out asynchronously.
    auto asyncGet = [&](const char* name) {
        QDBusPendingCall pending = call("org.freedesktop.DBus.Properties", "Get",
                                        {QString::fromLatin1(kBusInterface), QString::fromLatin1(name)});
        return pending.reply().arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(asyncGet("Wallpaper").toString(), QStringLiteral("/pics/a.png"));
    EXPECT_FALSE(asyncGet("AutoChange").toBool());
    QDBusPendingCall set = call("org.freedesktop.DBus.Properties", "Set",
                                {QString::fromLatin1(kBusInterface), QStringLiteral("AutoChange"),
                                 QVariant::fromValue(QDBusVariant(true))});
    EXPECT_FALSE(set.isError()) << set.error().message().toStdString();
    EXPECT_TRUE(host.autoChange);

    service.NotifyChanged(QStringLiteral("/pics/b c.png"));
    QElapsedTimer clock;
    clock.start();
    while (seen.isEmpty() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(seen, QStringList{QStringLiteral("/pics/b c.png")});

    // An error's name and message as a D-Bus client sees them.
    host.failure = "壁紙を作成できません。";
    QDBusPendingCall next = call(kBusInterface, "Next", {});
    ASSERT_TRUE(next.isError());
    EXPECT_EQ(next.error().name(), QString::fromLatin1(kBusError));
    EXPECT_EQ(next.error().message(), QString::fromStdString(host.failure + " (detail)"));
    EXPECT_EQ(reporter_.shown, 0);
    QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(kBusName));
    QDBusConnection::sessionBus().unregisterObject(QString::fromLatin1(kBusPath));
}

}  // namespace
}  // namespace vantoria

#include "ControlServiceTest.moc"
