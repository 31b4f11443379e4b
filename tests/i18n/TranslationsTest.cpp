// The forms in the user's language: each locale in a process of its own (Qt
// reads the locale once), which makes the forms and says what they show.

#include "about/formAbout.h"
#include "app/Application.h"
#include "app/AppState.h"
#include "app/TrayForms.h"
#include "app/Translations.h"
#include "app/MessageBoxReporter.h"
#include "app/formMain.h"
#include "change/formChgWall.h"
#include "settings/formSetup.h"
#include "support/Child.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace vantoria;

namespace {

constexpr const char* kProbe = "--probe-forms";

// The tray program's start-up as far as its forms, in a private folder, with
// no tray host anywhere (so the waiting message box shows).
void PrivateSession(const std::string& folder) {
    std::filesystem::create_directories(folder + "/start");
    std::filesystem::current_path(folder + "/start");
    for (const auto& [name, value] : std::map<std::string, std::string>{
             {"XDG_CONFIG_HOME", folder + "/config"},
             {"XDG_STATE_HOME", folder + "/state"},
             {"VANTORIA_DESKTOP", "none"},
             {"VANTORIA_SCREEN", "64x48"},
             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder + "/no-bus"}})
        ::setenv(name.c_str(), value.c_str(), 1);
}

QWidget* HelpWindowShown() {
    form_Main->act_HelpExecute();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("form_Help")) return window;
    return nullptr;
}

QMessageBox* MessageBoxShown() {
    form_Main->ShowTrayIcon();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) return box;
    return nullptr;
}

QFileDialog* FileDialog() {
    auto* dialog = form_Setup->findChild<QFileDialog*>(QStringLiteral("opdlg_Ap"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    return dialog;
}

// The child: one line per text.
int ProbeForms() {
    test::TempDir temp;
    PrivateSession(temp.Path());
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("DISPLAY");
    static int argc = 1;
    static char name[] = "translations_test";
    static char* argv[] = {name, nullptr};
    Application app(argc, argv);
    const Translations translations(i18n::ChooseLanguage(UiLanguageTags()), QCoreApplication::applicationDirPath());
    TrayForms forms;
    const auto say = [](const char* key, const QString& text) {
        std::printf("%s=%s\n", key, text.toUtf8().replace('\n', ' ').constData());
    };
    say("own", translations.OwnLoaded() ? "1" : "0");
    say("qt", translations.QtLoaded() ? "1" : "0");
    say("menu", form_Main->findChild<QMenu*>(QStringLiteral("pm_RightBtn"))->actions().front()->text());
    say("chooser", form_ChgWall->windowTitle());
    say("about", form_About->windowTitle());
    say("setup", form_Setup->windowTitle());
    QStringList tabs;
    auto* pages = form_Setup->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    for (int i = 0; i < pages->count(); ++i) tabs << pages->tabText(i);
    say("tabs", tabs.join(u','));
    if (QWidget* help = HelpWindowShown()) say("help", help->windowTitle());
    // Qt's own texts in the settings' file dialog.
    QFileDialog* dialog = FileDialog();
    say("lookIn", dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"))->text());
    say("cancel", dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text());
    // The message box of a save that fails at exit: a file where the
    // settings folder would be.
    MessageBoxReporter reporter;
    SetReporter(&reporter);
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            say("message", box->text());
            box->reject();
        }
    });
    std::ofstream(temp.Path() + "/blocker") << "x";
    ::setenv("XDG_CONFIG_HOME", (temp.Path() + "/blocker/config").c_str(), 1);
    form_Main->close();
    SetReporter(nullptr);
    std::fflush(stdout);
    return 0;
}

// By hand, on a display (tests/i18n/screenshots.sh): each form as it is
// drawn there, saved as <folder>/<name>.png.
int Screenshots(const std::string& out) {
    test::TempDir temp;
    PrivateSession(temp.Path());
    static int argc = 1;
    static char name[] = "vantoria";
    static char* argv[] = {name, nullptr};
    Application app(argc, argv);
    const Translations translations(i18n::ChooseLanguage(UiLanguageTags()), QCoreApplication::applicationDirPath());
    TrayForms forms;
    const auto shoot = [&out](QWidget* widget, const char* file) {
        widget->show();
        widget->raise();
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        const QString path = QString::fromStdString(out + "/" + file + ".png");
        widget->grab().save(path);
        std::printf("%s\n", path.toUtf8().constData());
    };
    auto* menu = form_Main->findChild<QMenu*>(QStringLiteral("pm_RightBtn"));
    menu->popup(QPoint(200, 200));
    shoot(menu, "menu");
    menu->hide();
    shoot(form_ChgWall, "chooser");
    form_ChgWall->hide();
    auto* pages = form_Setup->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        // The countdown shows only with the automatic change on.
        if (i == 2) form_Setup->findChild<QCheckBox*>(QStringLiteral("chkbox_AutoWallChg"))->setChecked(true);
        shoot(form_Setup, ("settings-" + std::to_string(i + 1)).c_str());
    }
    form_Setup->hide();
    shoot(form_About, "about");
    form_About->hide();
    if (QWidget* help = HelpWindowShown()) shoot(help, "help");
    if (QMessageBox* box = MessageBoxShown()) shoot(box, "message");
    QFileDialog* dialog = FileDialog();
    shoot(dialog, "filedialog");
    return 0;
}

std::map<std::string, std::string> FormsIn(const std::map<std::string, std::string>& locale) {
    std::map<std::string, std::string> env{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}};
    for (const auto& [name, value] : locale) env[name] = value;
    test::Child child(std::filesystem::read_symlink("/proc/self/exe").string(), {kProbe}, env, "/");
    EXPECT_EQ(child.Wait(std::chrono::seconds(60)), 0) << child.Output();
    std::map<std::string, std::string> texts;
    std::istringstream lines(child.Output());
    for (std::string line; std::getline(lines, line);)
        if (const auto eq = line.find('='); eq != std::string::npos) texts[line.substr(0, eq)] = line.substr(eq + 1);
    return texts;
}

TEST(TranslationsTest, FormsAndQtDialogsSpeakEnglishForAnEnglishLocaleAndJapaneseOtherwise) {
    const auto english = FormsIn({{"LANG", "en_US.UTF-8"}});
    EXPECT_EQ(english.at("own"), "1");
    EXPECT_EQ(english.at("qt"), "0");  // Qt's source texts are English
    EXPECT_EQ(english.at("menu"), "Change &Wallpaper...");
    EXPECT_EQ(english.at("chooser"), "Choose Wallpaper");
    EXPECT_EQ(english.at("about"), "About");
    EXPECT_EQ(english.at("setup"), "Settings");
    EXPECT_EQ(english.at("tabs"), "General,Files,Auto Quillet,Extras");
    EXPECT_EQ(english.at("help"), "Vantoria Help");
    EXPECT_EQ(english.at("message"), "The settings could not be saved. The settings file is unchanged.");
    EXPECT_EQ(english.at("lookIn"), "Look in:");
    EXPECT_EQ(english.at("cancel"), "Cancel");

    for (const auto& locale : std::vector<std::map<std::string, std::string>>{
             {{"LANG", "C.UTF-8"}},
             {{"LANG", "ja_JP.UTF-8"}},
             // LANGUAGE means nothing in the C locale, as on the command line.
             {{"LANG", "C.UTF-8"}, {"LANGUAGE", "en_US"}},
             {{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}}) {
        const auto japanese = FormsIn(locale);
        const std::string which = locale.begin()->second;
        EXPECT_EQ(japanese.at("qt"), "1") << which;
        EXPECT_EQ(japanese.at("menu"), "壁紙の変更(&W)...") << which;
        EXPECT_EQ(japanese.at("chooser"), "壁紙の選択") << which;
        EXPECT_EQ(japanese.at("about"), "バージョン情報") << which;
        EXPECT_EQ(japanese.at("setup"), "設定") << which;
        EXPECT_EQ(japanese.at("tabs"), "基本,ファイル,オートQuillet,拡張") << which;
        EXPECT_EQ(japanese.at("help"), "Vantoria ヘルプ") << which;
        EXPECT_EQ(japanese.at("message"), kSaveFailedMessage) << which;
        // Qt's stock dialog in Japanese too.
        EXPECT_NE(japanese.at("lookIn"), "Look in:") << which;
        EXPECT_EQ(japanese.at("cancel").find("キャンセル"), 0u) << japanese.at("cancel");
    }
}

TEST(TranslationsTest, CataloguesAreFoundBesideTheProgramOrInItsInstalledDataFolder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() + "/usr/bin");
    EXPECT_EQ(FindTranslationsFolder(QString::fromStdString(dir.Path() + "/usr/bin")), QString());
    std::filesystem::create_directories(dir.Path() + "/usr/share/vantoria/translations");
    EXPECT_EQ(FindTranslationsFolder(QString::fromStdString(dir.Path() + "/usr/bin")),
              QString::fromStdString(dir.Path() + "/usr/share/vantoria/translations"));
    // The build tree's own, beside the program, comes first.
    std::filesystem::create_directories(dir.Path() + "/usr/bin/translations");
    EXPECT_EQ(FindTranslationsFolder(QString::fromStdString(dir.Path() + "/usr/bin")),
              QString::fromStdString(dir.Path() + "/usr/bin/translations"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], kProbe) == 0) return ProbeForms();
    if (argc == 3 && std::strcmp(argv[1], "--screenshots") == 0) return Screenshots(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
