// The tray program's entry point: debug mode, the single-instance guard,
// the four forms, the event loop.

#include "app/AppIcon.h"
#include "app/AppState.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/ControlService.h"
#include "app/TrayControl.h"
#include "app/TrayForms.h"
#include "app/Translations.h"
#include "app/MessageBoxReporter.h"
#include "app/SignalBridge.h"
#include "app/formMain.h"
#include "platform/i18n/Messages.h"
#include "platform/instance/InstanceLock.h"
#include "platform/registry/RegistryFile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace vantoria;

namespace {

// Qt ends the process with exit() when the display connection breaks (a bare
// X11 session's logout): the settings are saved on that path too, exactly as
// a close saves them. Nothing can be shown any more, so a failure goes to
// standard error.
extern "C" void CloseAtExit() {
    if (!form_Main) return;
    SetReporter(nullptr);
    form_Main->FormClose();
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else, so that a logout signal at any later moment
    // still ends the program through its close path.
    SignalBridge::InstallHandlers();
    DebugMode = IsDebugCommandLine(JoinArguments(argc, argv));
    // The core's messages (shown in the message boxes too) in the user's language.
    i18n::LoadMessages();

    std::optional<InstanceLock> lock;
    if (!DebugMode) {
        // Beside the settings too: one program per user's settings, whatever
        // runtime folder each start was given.
        lock = InstanceLock::Acquire("Runo", registry::RegistryFilePath().parent_path().string());
        if (!lock) return 1;  // another normal instance runs: leave silently
    }

    // Qt's Wayland platform where a Wayland session has no X server.
    std::string platform = ChoosePlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                                          std::getenv("DISPLAY"), HasPlatformArgument(argc, argv));
    std::vector<char*> args = ArgumentsWithPlatform(argc, argv, platform);
    int qtArgc = static_cast<int>(args.size()) - 1;
    std::optional<DisplayStartGuard> displayGuard(std::in_place);
    Application app(qtArgc, args.data());
    displayGuard.reset();
    // Every window carries the program's icon; on Wayland the compositor
    // finds it through the desktop entry of that name.
    QApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kIconName));
    // No application display name: Qt would append it to every window title,
    // and the titles are exactly the forms' captions.
    app.setProperty("helpFile", QString::fromUtf8(kHelpFile));
    // The forms read their texts as they are made: the catalogues first.
    const Translations translations(i18n::ChooseLanguage(UiLanguageTags()), QCoreApplication::applicationDirPath());
    if (translations.Language() == i18n::Language::English && !translations.OwnLoaded())
        std::fputs("vantoria: the English catalogue vantoria_en.qm is missing; the forms stay in Japanese\n", stderr);
    MessageBoxReporter reporter;
    SetReporter(&reporter);
    SignalBridge signalBridge;
    std::atexit(CloseAtExit);

    try {
        TrayForms forms;
        Tform_Main& main = *form_Main;
        // Scripts and keybindings reach the program over the session bus;
        // without one it runs as before.
        TrayControl control(forms);
        ControlService service(control);
        control.onChanged = [&service](const std::string& file) { service.NotifyChanged(QString::fromStdString(file)); };
        QString why;
        service.Register(why);  // without a bus, or with the name taken, the program runs on as before
        QObject::connect(&signalBridge, &SignalBridge::terminationRequested, &main, [&main] { main.close(); });

        main.ShowTrayIcon();
        if (DebugMode) main.show();
        AppRunning = true;
        Application::exec();
        // Closing by any path has saved the settings; this covers a loop
        // that ended some other way.
        main.FormClose();
    } catch (const std::exception& e) {
        Application::ShowException(QString::fromUtf8(e.what()));
    }
    SetReporter(nullptr);

    if (lock) lock->Release();
    return 0;
}
