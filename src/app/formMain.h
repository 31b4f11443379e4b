#pragma once
// The main form: hidden in normal mode, shown in debug mode. It owns the
// settings life cycle (loaded when it is created, saved or erased when it
// closes), the image loader and the change operation with its master image.

#include "change/ChangeWallPaper.h"
#include "imaging/Spi_load.h"

#include <QTimer>
#include <QWidget>
#include <memory>

namespace Ui {
class form_Main;
}

namespace vantoria {

class Tform_Main : public QWidget {
    Q_OBJECT
public:
    explicit Tform_Main(QWidget* parent = nullptr);
    ~Tform_Main() override;

    // Saves or erases the settings exactly once, however often the form is
    // asked to close (Exit command, close box, logout signal).
    void FormClose();

    // Turns an image file into the desktop wallpaper (empty: nothing).
    void ChangeWallPaper(const std::string& file);

    TSpi_load& SpiLoader() { return *spiLoader_; }

    // The six commands of the tray menu.
    void act_ChgWallExecute();
    void act_RedrawExecute();
    void act_SetupExecute();
    void act_HelpExecute();
    void act_AboutExecute();
    void act_ExitExecute();

    // The one-second tick of the automatic change; its logic lives with the
    // change subsystem (change/tmrChgWall.cpp).
    void tmr_ChgWallTimer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void ShowMaster(const raster::Bitmap& picture);

    std::unique_ptr<Ui::form_Main> ui_;
    std::unique_ptr<TSpi_load> spiLoader_;
    std::unique_ptr<WallpaperChanger> changer_;
    QTimer tmr_ChgWall;  // 1000 ms for the whole run
    bool closed_ = false;
};

// The primary screen's size in device pixels (VANTORIA_SCREEN overrides).
raster::ScreenSize QtScreenSize();

}  // namespace vantoria
