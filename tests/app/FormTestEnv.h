#pragma once
// The four forms of the tray program under the offscreen Qt platform, in a
// private settings folder and start folder, with the desktop "none" and a
// fixed screen, so that a change writes only the buffer file.

#include "about/formAbout.h"
#include "app/AppState.h"
#include "app/Application.h"
#include "app/TrayForms.h"
#include "app/formMain.h"
#include "change/formChgWall.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "settings/ApSystem.h"
#include "settings/formSetup.h"
#include "support/Child.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>

namespace vantoria::test {

// One application object for the whole test program. It is never destroyed:
// at exit Qt's own globals would be gone before it.
inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "form_test";
    static char* argv[] = {name, nullptr};
    static bool created = false;
    if (created) return;
    created = true;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new Application(argc, argv);  // reachable as qApp
}

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        std::filesystem::create_directories(Start());
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(Start());
    }
    void TearDown() override {
        forms_.reset();
        std::filesystem::current_path(previousDir_);
        ResetTrayState();
    }

    // Stored settings for the next CreateForms(), as "Name"="value" lines.
    void StoreSettings(const std::string& lines) const {
        std::filesystem::create_directories(temp_.Path() + "/config/vantoria");
        std::ofstream(temp_.Path() + "/config/vantoria/registry.reg", std::ios::binary)
            << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n" << lines;
    }

    // In the entry point's order; the main form loads the settings.
    void CreateForms() { forms_ = std::make_unique<TrayForms>(); }

    // Runs `command`, which may open a modal dialog; whatever dialog is open
    // once its loop runs is closed again. Returns the dialog that was opened.
    template <class F>
    QWidget* RunClosingModal(F command) {
        QWidget* opened = nullptr;
        QTimer::singleShot(0, [&] {
            // Only a dialog whose modal loop runs counts: one merely shown
            // before is modal too, but was not opened by `command`.
            if (QThread::currentThread()->loopLevel() == 0) return;
            opened = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QDialog*>(opened)) dialog->reject();
        });
        command();
        QCoreApplication::processEvents();  // the check runs even when nothing opened
        return opened;
    }

    std::string Start() const { return temp_.Path() + "/start"; }
    std::string RegistryText() const { return ReadFile(temp_.Path() + "/config/vantoria/registry.reg"); }

    TempDir temp_;
    ScopedEnv config_{"XDG_CONFIG_HOME", temp_.Path() + "/config"};
    ScopedEnv desktop_{"VANTORIA_DESKTOP", "none"};
    ScopedEnv screen_{"VANTORIA_SCREEN", "64x48"};
    std::filesystem::path previousDir_;
    std::unique_ptr<TrayForms> forms_;
};

}  // namespace vantoria::test
