#include "app/formMain.h"

#include "about/formAbout.h"
#include "app/AppIcon.h"
#include "app/AppState.h"
#include "app/HelpWindow.h"
#include "app/ScreenWatch.h"
#include "app/TrayHostWatch.h"
#include "change/formChgWall.h"
#include "imaging/LoaderSetup.h"
#include "platform/report/Reporter.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/Settings.h"
#include "settings/formSetup.h"
#include "widgets/BitmapImage.h"
#include "ui_formMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPixmap>
#include <QScreen>
#include <QSessionManager>
#include <cstdlib>
#include <exception>

// The icons live in the GUI library; a static library's resources must be
// registered by name.
static void InitResources() { Q_INIT_RESOURCE(vantoria); }

namespace vantoria {

raster::ScreenSize QtScreenSize() {
    if (auto fixed = ScreenSizeFromEnvironment()) return *fixed;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) throw std::runtime_error("no screen");
    return DeviceScreenSize({screen->size().width(), screen->size().height()}, screen->devicePixelRatio());
}

std::chrono::milliseconds TickInterval() {
    // Tests of the automatic change run whole minutes in a few seconds.
    if (const char* text = std::getenv("VANTORIA_TICK_MS")) {
        char* end = nullptr;
        const long ms = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && ms >= 1 && ms <= 1000) return std::chrono::milliseconds(ms);
    }
    return std::chrono::milliseconds(1000);
}

Tform_Main::Tform_Main(AutoChangeHost& timerHost, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::form_Main>()),
      autoChange_(ApSystem, timerHost),
      pm_RightBtn(this),
      trayClicks_(QApplication::doubleClickInterval()) {
    InitResources();
    ui_->setupUi(this);
    FormCreate();
}

Tform_Main::~Tform_Main() { FormDestroy(); }

void Tform_Main::FormCreate() {
    LoadSettings(ApSystem);
    CompleteStartup(ApSystem, CurrentDirectory());

    spiLoader_ = std::make_unique<TSpi_load>();
    imaging::SetUpLoader(*spiLoader_, {ApSystem.PathPlugin, ApSystem.WallBuffer, true});

    changer_ = std::make_unique<WallpaperChanger>(*spiLoader_, ApSystem, QtScreenSize);
    changer_->onMasterChanged = [this](const raster::Bitmap& picture) { ShowMaster(picture); };

    ui_->act_ChgWall->setEnabled(!ApSystem.AutoWallChg);

    connect(ui_->act_ChgWall, &QAction::triggered, this, &Tform_Main::act_ChgWallExecute);
    connect(ui_->act_Redraw, &QAction::triggered, this, &Tform_Main::act_RedrawExecute);
    connect(ui_->act_Setup, &QAction::triggered, this, &Tform_Main::act_SetupExecute);
    connect(ui_->act_Help, &QAction::triggered, this, &Tform_Main::act_HelpExecute);
    connect(ui_->act_About, &QAction::triggered, this, &Tform_Main::act_AboutExecute);
    connect(ui_->act_Exit, &QAction::triggered, this, &Tform_Main::act_ExitExecute);

    // The menu items take caption, image and enabled state from the actions.
    pm_RightBtn.setObjectName(QStringLiteral("pm_RightBtn"));
    pm_RightBtn.addActions({ui_->act_ChgWall, ui_->act_Redraw, ui_->act_Setup, ui_->act_Help});
    pm_RightBtn.addSeparator()->setObjectName(QStringLiteral("N1"));
    pm_RightBtn.addActions({ui_->act_About, ui_->act_Exit});

    // The icon itself is made once a tray host is there (TrayHostWatch).
    trayHost_ = std::make_unique<TrayHostWatch>([this](QSystemTrayIcon& icon) { SetUpTrayIcon(icon); });
    connect(&trayClicks_, &TrayClicks::singleClick, this, &Tform_Main::TrayIconClick);
    connect(&trayClicks_, &TrayClicks::doubleClick, this, &Tform_Main::TrayIconDoubleClick);

    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) ApEventActivate();
    });
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CommitData(); });

    tmr_ChgWall.setInterval(TickInterval());
    connect(&tmr_ChgWall, &QTimer::timeout, this, &Tform_Main::tmr_ChgWallTimer);
    tmr_ChgWall.start();
    WatchScreens(*this);
}

void Tform_Main::FormDestroy() {
    if (spiLoader_) spiLoader_->FreePicture();
}

void Tform_Main::ShowTrayIcon() {
    // Without a screen there is no one to see an icon or a message.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    trayHost_->Start();
}

QSystemTrayIcon& Tform_Main::TrayIcon() { return trayHost_->Icon(); }

void Tform_Main::SetUpTrayIcon(QSystemTrayIcon& icon) {
    icon.setObjectName(QStringLiteral("TrayIcon"));
    icon.setIcon(AppIcon());
    icon.setToolTip(QString::fromUtf8(kAppTitle));
    icon.setContextMenu(&pm_RightBtn);
    connect(&icon, &QSystemTrayIcon::activated, &trayClicks_, &TrayClicks::Activated);
}

// The main form stays out of sight (and off the taskbar) in normal mode,
// whatever activated the program.
void Tform_Main::ApEventActivate() {
    if (!DebugMode && isVisible()) hide();
}

void Tform_Main::ChangeWallPaper(const std::string& file) {
    const Result outcome = changer_->ChangeWallPaper(file);
    if (outcome.ok && onWallPaperChanged) onWallPaperChanged(file);
}

Result Tform_Main::NextWallPaper() { return autoChange_.ChangeNow(); }

void Tform_Main::ShowMaster(const raster::Bitmap& picture) {
    // Only the debug view shows the master image; don't convert for nothing.
    if (!isVisible() || picture.Empty()) return;
    ui_->img_Master->setPixmap(QPixmap::fromImage(ToQImage(picture)));
    ui_->img_Master->resize(picture.Width(), picture.Height());
}

QAction& Tform_Main::act_ChgWall() const { return *ui_->act_ChgWall; }

// The tray icon and the menu keep working while a dialog is open; a dialog
// command for a dialog already open does nothing.
void Tform_Main::act_ChgWallExecute() {
    if (!form_ChgWall->isVisible()) form_ChgWall->exec();
}

void Tform_Main::act_RedrawExecute() { ChangeWallPaper(ApSystem.WallPaper); }

void Tform_Main::act_SetupExecute() {
    if (!form_Setup->isVisible()) form_Setup->exec();
}

void Tform_Main::act_HelpExecute() {
    // The application's help file, set by the entry point.
    QString name = qApp->property("helpFile").toString();
    if (name.isEmpty()) name = QString::fromUtf8(kHelpFile);
    const QString path = FindHelpFile(QCoreApplication::applicationDirPath(), name);
    if (!help_) help_ = std::make_unique<HelpWindow>();
    if (path.isEmpty() || !help_->Load(path)) {
        ReportError(tr(kHelpMissingMessage).toStdString(), path.isEmpty() ? std::string() : path.toStdString());
        return;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void Tform_Main::act_AboutExecute() {
    if (!form_About->isVisible()) form_About->exec();
}

void Tform_Main::act_ExitExecute() { close(); }

void Tform_Main::tmr_ChgWallTimer() { autoChange_.Tick(); }

// With the automatic change on, the Change command is off and a single click
// does nothing: the click always agrees with the menu.
void Tform_Main::TrayIconClick() {
    if (ui_->act_ChgWall->isEnabled()) act_ChgWallExecute();
}

void Tform_Main::TrayIconDoubleClick() { act_RedrawExecute(); }

void Tform_Main::SaveOrErase() {
    // The writer replaces the file only as a whole, so it is as it was.
    (void)SaveOrEraseSettings(ApSystem, [](const std::exception& error, bool erasing) {
        ReportError(tr(erasing ? kEraseFailedMessage : kSaveFailedMessage).toStdString(), error.what());
    });
}

void Tform_Main::CommitData() {
    if (!closed_) SaveOrErase();
}

void Tform_Main::FormClose() {
    if (closed_) return;
    closed_ = true;
    SaveOrErase();
}

void Tform_Main::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    // Closing the main form ends the program, visible or not.
    QCoreApplication::quit();
}

}  // namespace vantoria
