#include "app/formMain.h"

#include "app/ScreenWatch.h"

#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"
#include "settings/Settings.h"
#include "ui_formMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstring>

namespace vantoria {

raster::ScreenSize QtScreenSize() {
    if (auto fixed = ScreenSizeFromEnvironment()) return *fixed;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) throw std::runtime_error("no screen");
    const QSize size = screen->size() * screen->devicePixelRatio();
    return {size.width(), size.height()};
}

Tform_Main::Tform_Main(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::form_Main>()) {
    ui_->setupUi(this);
    FormCreate();
}

Tform_Main::~Tform_Main() { FormDestroy(); }

void Tform_Main::FormCreate() {
    LoadSettings(ApSystem);
    CompleteStartup(ApSystem, CurrentDirectory());

    spiLoader_ = std::make_unique<TSpi_load>();
    spiLoader_->SpiPathName = ApSystem.PathPlugin;
    spiLoader_->SFName = ApSystem.WallBuffer;
    spiLoader_->Save = false;

    changer_ = std::make_unique<WallpaperChanger>(*spiLoader_, ApSystem, QtScreenSize);
    changer_->onMasterChanged = [this](const raster::Bitmap& picture) { ShowMaster(picture); };

    tmr_ChgWall.setInterval(1000);
    connect(&tmr_ChgWall, &QTimer::timeout, this, &Tform_Main::tmr_ChgWallTimer);
    tmr_ChgWall.start();
    WatchScreens(*this);
}

void Tform_Main::FormDestroy() {
    if (spiLoader_) spiLoader_->FreePicture();
}

void Tform_Main::ChangeWallPaper(const std::string& file) { changer_->ChangeWallPaper(file); }

void Tform_Main::ShowMaster(const raster::Bitmap& picture) {
    // Only the debug view shows the master image; don't convert for nothing.
    if (!isVisible() || picture.Empty()) return;
    QImage image(picture.Width(), picture.Height(), QImage::Format_BGR888);
    for (int y = 0; y < picture.Height(); ++y) {
        std::memcpy(image.scanLine(y), picture.ScanLine(y), static_cast<std::size_t>(picture.Width()) * 3);
    }
    ui_->img_Master->setPixmap(QPixmap::fromImage(image));
    ui_->img_Master->resize(picture.Width(), picture.Height());
}

void Tform_Main::act_ChgWallExecute() {}
void Tform_Main::act_RedrawExecute() { ChangeWallPaper(ApSystem.WallPaper); }
void Tform_Main::act_SetupExecute() {}
void Tform_Main::act_HelpExecute() {}
void Tform_Main::act_AboutExecute() {}
void Tform_Main::act_ExitExecute() { close(); }

void Tform_Main::FormClose() {
    if (closed_) return;
    closed_ = true;
    SaveOrEraseSettings(ApSystem);
}

void Tform_Main::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    // Closing the main form ends the program, visible or not.
    QCoreApplication::quit();
}

}  // namespace vantoria
