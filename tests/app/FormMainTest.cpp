// The main form as the user meets it: the tray menu, the tray clicks, the
// dialog commands, and the settings saved at exit or on the session's request.

#include "app/FormTestEnv.h"
#include "app/HelpWindow.h"
#include "app/TrayClicks.h"
#include "app/TrayControl.h"
#include "settings/formSetup.h"
#include "support/RecordingReporter.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>
#include <QListWidget>
#include <QMenu>
#include <chrono>

using namespace vantoria;
using namespace vantoria::test;

namespace {

// Runs the event loop until `done` holds or a generous deadline passes.
template <class F>
bool ProcessUntil(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

class FormMainTest : public FormsTest {};

TEST_F(FormMainTest, MenuHoldsTheSixCommandsAndChangeFollowsTheStoredAutoChange) {
    for (const bool autoChange : {false, true}) {
        StoreSettings(autoChange ? "\"AutoWallChg\"=\"1\"\n" : "\"AutoWallChg\"=\"0\"\n");
        CreateForms();
        EXPECT_EQ(form_Main->windowTitle(), QStringLiteral("form_Main"));
        EXPECT_EQ(form_Main->TrayIcon().toolTip(), QStringLiteral("Vantoria"));
        EXPECT_FALSE(form_Main->TrayIcon().icon().isNull());

        auto* menu = form_Main->findChild<QMenu*>(QStringLiteral("pm_RightBtn"));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(form_Main->TrayIcon().contextMenu(), menu);
        const QStringList expected = {"壁紙の変更(&W)...", "再描画(&R)", "設定(&S)...", "ヘルプ(&H)", "",
                                      "バージョン情報(&A)...", "終了(&E)"};
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), expected.size());
        for (int i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->text(), expected[i]) << i;
            EXPECT_EQ(items[i]->isSeparator(), i == 4) << i;
            if (i != 4) {
                EXPECT_FALSE(items[i]->icon().isNull()) << i;
            }
        }
        EXPECT_EQ(items[0]->isEnabled(), !autoChange);
        for (int i = 1; i < items.size(); ++i) EXPECT_TRUE(items[i]->isEnabled()) << i;
        DestroyForms();
    }
}

TEST_F(FormMainTest, EveryFormAsksForTheProportionalGothicAt12PixelsAndGetsAJapaneseFont) {
    const QStringList families = QFontDatabase::families();
    ASSERT_TRUE(families.contains(QStringLiteral("IPAPGothic")) ||
                std::any_of(families.begin(), families.end(),
                            [](const QString& f) { return f.startsWith(QStringLiteral("Noto Sans CJK JP")); }))
        << "no Japanese proportional gothic is installed: install fonts-ipafont-gothic (or fonts-noto-cjk)";
    CreateForms();
    for (QWidget* form : std::initializer_list<QWidget*>{form_Main, form_About, form_ChgWall, form_Setup}) {
        EXPECT_EQ(form->font().family(), QStringLiteral("ＭＳ Ｐゴシック")) << form->objectName().toStdString();
        EXPECT_EQ(form->font().pixelSize(), 12);
        const QString used = QFontInfo(form->font()).family();
        EXPECT_TRUE(used == QStringLiteral("IPAPGothic") || used.startsWith(QStringLiteral("Noto Sans CJK JP")))
            << used.toStdString();
    }
    // The logo's middle letter asks for the proportional mincho.
    const QString mincho = QFontInfo(QFont(QStringLiteral("ＭＳ Ｐ明朝"))).family();
    EXPECT_TRUE(mincho == QStringLiteral("IPAPMincho") || mincho.startsWith(QStringLiteral("Noto Serif CJK JP")))
        << mincho.toStdString();
}

TEST_F(FormMainTest, TrayClicksTellASingleClickFromBothKindsOfDoubleClick) {
    EnsureApplication();
    TrayClicks clicks(40);
    int singles = 0, doubles = 0;
    QObject::connect(&clicks, &TrayClicks::singleClick, [&] { ++singles; });
    QObject::connect(&clicks, &TrayClicks::doubleClick, [&] { ++doubles; });
    // Everything a pending single click could do has happened once a later
    // timer fired: timers fire in the order they fall due.
    const auto settle = [] {
        bool passed = false;
        QTimer::singleShot(120, [&] { passed = true; });
        ASSERT_TRUE(ProcessUntil([&] { return passed; }));
    };

    clicks.Activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(singles, 0);  // not before the interval is over
    ASSERT_TRUE(ProcessUntil([&] { return singles == 1; }));

    // XEmbed: Trigger, then DoubleClick.
    clicks.Activated(QSystemTrayIcon::Trigger);
    clicks.Activated(QSystemTrayIcon::DoubleClick);
    settle();
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(singles, 1);

    // StatusNotifierItem: two Triggers within the interval.
    clicks.Activated(QSystemTrayIcon::Trigger);
    clicks.Activated(QSystemTrayIcon::Trigger);
    settle();
    EXPECT_EQ(doubles, 2);
    EXPECT_EQ(singles, 1);

    // Middle click and the menu request are nobody's business here.
    clicks.Activated(QSystemTrayIcon::MiddleClick);
    clicks.Activated(QSystemTrayIcon::Context);
    settle();
    EXPECT_EQ(doubles, 2);
    EXPECT_EQ(singles, 1);
}

TEST_F(FormMainTest, DialogCommandsOpenTheirDialogOnceAndTheLeftClickFollowsTheChangeCommand) {
    CreateForms();
    EXPECT_EQ(RunClosingModal([] { form_Main->act_SetupExecute(); }), form_Setup);
    EXPECT_EQ(RunClosingModal([] { form_Main->act_AboutExecute(); }), form_About);
    EXPECT_EQ(RunClosingModal([] { form_Main->TrayIconClick(); }), form_ChgWall);

    // A dialog that is open already is not opened a second time.
    form_Setup->show();
    EXPECT_EQ(RunClosingModal([] { form_Main->act_SetupExecute(); }), nullptr);
    form_Setup->hide();

    // With the automatic change on, the command is off and so is the click.
    form_Main->act_ChgWall().setEnabled(false);
    EXPECT_EQ(RunClosingModal([] { form_Main->TrayIconClick(); }), nullptr);
}

// A script turns the automatic change on or off while the settings dialog is
// open: the box follows, and OK keeps what the box shows (the user's own
// click after that wins, as the later change).
TEST_F(FormMainTest, TheAutoChangeBoxFollowsTheBusWhileTheSettingsDialogIsOpen) {
    CreateForms();
    TrayControl control(*forms_);
    QCheckBox* box = form_Setup->findChild<QCheckBox*>(QStringLiteral("chkbox_AutoWallChg"));
    QAbstractButton* ok = form_Setup->findChild<QAbstractButton*>(QStringLiteral("bbtn_Ok"));
    ASSERT_TRUE(box && ok);
    ApSystem.AutoWallChg = false;
    form_Setup->show();
    EXPECT_FALSE(box->isChecked());
    control.SetAutoChange(true);
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(form_Main->act_ChgWall().isEnabled());
    ok->click();
    EXPECT_TRUE(ApSystem.AutoWallChg) << "OK wrote the stale box back";

    form_Setup->show();
    box->click();  // the user turns it off...
    control.SetAutoChange(true);  // ...and a script turns it on again
    EXPECT_TRUE(box->isChecked());
    box->click();  // the user's last word
    ok->click();
    EXPECT_FALSE(ApSystem.AutoWallChg);
    EXPECT_TRUE(form_Main->act_ChgWall().isEnabled());
}

// The tray icon is a window of its own that an open dialog must not block;
// Exit (also a logout's signal) from the tray menu ends the program and
// saves even then.
TEST_F(FormMainTest, AnOpenDialogBlocksNeitherTheTrayIconNorExit) {
    CreateForms();
    QWidget trayIconWindow;  // what the tray icon is on an XEmbed tray
    bool blocked = false;
    struct BlockWatch : QObject {
        bool& blocked;
        explicit BlockWatch(bool& b) : blocked(b) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::WindowBlocked) blocked = true;
            return false;
        }
    } watch(blocked);
    trayIconWindow.installEventFilter(&watch);
    trayIconWindow.show();

    ApSystem.WallPosition = 1;
    bool setupOpen = false;
    QTimer::singleShot(0, [] { form_Main->act_SetupExecute(); });
    QTimer::singleShot(100, [&] {
        setupOpen = form_Setup->isVisible() && QApplication::activeModalWidget() == form_Setup;
        form_Main->act_ExitExecute();
    });
    QTimer deadline;  // should Exit fail; gone with the test
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    deadline.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(setupOpen);
    EXPECT_FALSE(blocked);
    EXPECT_FALSE(form_Setup->isVisible());
    EXPECT_NE(RegistryText().find("\"WallPosition\"=\"1\""), std::string::npos) << RegistryText();
}

TEST_F(FormMainTest, SettingsAreSavedOnTheSessionsRequestAndAgainAtClose) {
    CreateForms();
    ApSystem.WallPosition = 1;
    form_Main->CommitData();
    EXPECT_NE(RegistryText().find("\"WallPosition\"=\"1\""), std::string::npos) << RegistryText();

    // The logout was cancelled: the program goes on, and its close saves.
    ApSystem.WallPosition = 0;
    form_Main->close();
    EXPECT_NE(RegistryText().find("\"WallPosition\"=\"0\""), std::string::npos) << RegistryText();
    ApSystem.WallPosition = 2;
    form_Main->FormClose();  // exactly once
    EXPECT_NE(RegistryText().find("\"WallPosition\"=\"0\""), std::string::npos);
}

TEST_F(FormMainTest, ASaveThatFailsAtExitIsShownAndLeavesTheFileAsItWas) {
    StoreSettings("\"WallPosition\"=\"1\"\n");
    CreateForms();
    const std::string before = RegistryText();
    RecordingReporter reporter;
    SetReporter(&reporter);
    {
        // The settings folder is no longer reachable: a file is in the way.
        std::ofstream(temp_.Path() + "/blocker") << "x";
        ScopedEnv blocked("XDG_CONFIG_HOME", temp_.Path() + "/blocker/config");
        ApSystem.WallPosition = 0;
        form_Main->close();
    }
    SetReporter(nullptr);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0], kSaveFailedMessage);
    EXPECT_FALSE(reporter.details[0].empty());
    EXPECT_EQ(RegistryText(), before);
}

TEST_F(FormMainTest, HelpDocumentIsFoundAndListsItsChapters) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() + "/bin");
    std::filesystem::create_directories(dir.Path() + "/share/vantoria");
    std::filesystem::copy_file(VANTORIA_HELP_FILE, dir.Path() + "/share/vantoria/Runo.hlp");
    const QString installed = FindHelpFile(QString::fromStdString(dir.Path() + "/bin"), "Runo.hlp");
    EXPECT_EQ(installed, QString::fromStdString(dir.Path() + "/share/vantoria/Runo.hlp"));
    std::filesystem::copy_file(VANTORIA_HELP_FILE, dir.Path() + "/bin/Runo.hlp");
    EXPECT_EQ(FindHelpFile(QString::fromStdString(dir.Path() + "/bin"), "Runo.hlp"),
              QString::fromStdString(dir.Path() + "/bin/Runo.hlp"));
    EXPECT_TRUE(FindHelpFile(QString::fromStdString(dir.Path()), "Runo.hlp").isEmpty());

    EnsureApplication();
    HelpWindow window;
    ASSERT_TRUE(window.Load(installed));
    auto* contents = window.findChild<QListWidget*>(QStringLiteral("lst_Contents"));
    ASSERT_NE(contents, nullptr);
    QStringList titles;
    for (int i = 0; i < contents->count(); ++i) titles << contents->item(i)->text();
    for (const char* chapter : {"トレイアイコンとメニュー", "壁紙の選択", "設定", "オートQuillet (自動変更)",
                                "プラグイン", "コマンドライン"}) {
        EXPECT_TRUE(titles.contains(QString::fromUtf8(chapter))) << chapter << " in " << titles.join('|').toStdString();
    }
}

// The English edition is picked by the language rule, falls back to the
// Japanese document, and has the same chapters, so links into either work.
TEST_F(FormMainTest, HelpEditionFollowsTheLanguage) {
    using i18n::Language;
    TempDir dir;
    const QString bin = QString::fromStdString(dir.Path());
    std::filesystem::copy_file(VANTORIA_HELP_FILE, dir.Path() + "/Runo.hlp");
    EXPECT_EQ(FindHelpFile(bin, "Runo.hlp", Language::English), bin + "/Runo.hlp");
    std::filesystem::copy_file(VANTORIA_HELP_FILE_EN, dir.Path() + "/Runo.en.hlp");
    EXPECT_EQ(FindHelpFile(bin, "Runo.hlp", Language::English), bin + "/Runo.en.hlp");
    EXPECT_EQ(FindHelpFile(bin, "Runo.hlp", Language::Japanese), bin + "/Runo.hlp");

    const auto anchors = [](const char* path) {
        QFile file(QString::fromUtf8(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        QStringList list;
        for (const HelpChapter& chapter : HelpChapters(QString::fromUtf8(file.readAll()))) list << chapter.anchor;
        return list;
    };
    EXPECT_EQ(anchors(VANTORIA_HELP_FILE_EN), anchors(VANTORIA_HELP_FILE));
    EXPECT_GE(anchors(VANTORIA_HELP_FILE).size(), 8);
}

}  // namespace
