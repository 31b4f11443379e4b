#pragma once
// The main form: hidden in normal mode, shown in debug mode. It owns the
// settings life cycle (loaded when it is created, saved or erased when it
// closes), the image loader and the change operation with its master image,
// the tray icon with its menu, and the six commands.

#include "app/TrayClicks.h"
#include "change/AutoWallChange.h"
#include "change/ChangeWallPaper.h"
#include "imaging/Spi_load.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

namespace Ui {
class form_Main;
}

namespace vantoria {

class HelpWindow;
class TrayHostWatch;

// Told when the settings cannot be written at exit (the file stays as it was).
inline constexpr const char* kSaveFailedMessage =
    QT_TRANSLATE_NOOP("vantoria::Tform_Main", "設定を保存できませんでした。設定ファイルは変更されていません。");
inline constexpr const char* kEraseFailedMessage =
    QT_TRANSLATE_NOOP("vantoria::Tform_Main", "設定を削除できませんでした。設定ファイルは変更されていません。");
inline constexpr const char* kHelpMissingMessage =
    QT_TRANSLATE_NOOP("vantoria::Tform_Main", "ヘルプファイル Runo.hlp が見つかりません。");

class Tform_Main : public QWidget {
    Q_OBJECT
public:
    // `timerHost` is what the automatic change's ticks reach; it must
    // outlive the form.
    explicit Tform_Main(AutoChangeHost& timerHost, QWidget* parent = nullptr);
    ~Tform_Main() override;

    // Saves or erases the settings exactly once, however often the form is
    // asked to close (Exit command, close box, logout signal, lost display).
    void FormClose();
    // Saves or erases now, as a close would, and keeps running: the session
    // manager asks for this before a logout that may still be cancelled.
    void CommitData();

    // Turns an image file into the desktop wallpaper (empty: nothing).
    void ChangeWallPaper(const std::string& file);
    // Told of every change that put a picture on the desktop, whatever
    // started it (the session-bus interface listens).
    std::function<void(const std::string& file)> onWallPaperChanged;
    // The automatic change's next file now, its countdown started afresh;
    // failed when no change could be begun (see AutoWallChanger::ChangeNow).
    Result NextWallPaper();

    TSpi_load& SpiLoader() { return *spiLoader_; }

    // Shows the tray icon; without a notification area, tells the user once
    // and waits for one. Called once the forms exist.
    void ShowTrayIcon();
    QSystemTrayIcon& TrayIcon();

    // The Change command; the settings dialog's auto-change box enables it.
    QAction& act_ChgWall() const;

    // The six commands of the tray menu.
    void act_ChgWallExecute();
    void act_RedrawExecute();
    void act_SetupExecute();
    void act_HelpExecute();
    void act_AboutExecute();
    void act_ExitExecute();

    // The one-second tick of the automatic change (AutoWallChanger).
    void tmr_ChgWallTimer();

    // The tray icon's single and double left click (after TrayClicks sorted
    // them out).
    void TrayIconClick();
    void TrayIconDoubleClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void ApEventActivate();
    void SaveOrErase();
    void ShowMaster(const raster::Bitmap& picture);
    void SetUpTrayIcon(QSystemTrayIcon& icon);

    std::unique_ptr<Ui::form_Main> ui_;
    std::unique_ptr<TSpi_load> spiLoader_;
    std::unique_ptr<WallpaperChanger> changer_;
    // The tick's counters last as long as the form, like the timer.
    AutoWallChanger autoChange_;
    QTimer tmr_ChgWall;  // 1000 ms for the whole run (TickInterval)
    QMenu pm_RightBtn;
    TrayClicks trayClicks_;
    std::unique_ptr<TrayHostWatch> trayHost_;
    std::unique_ptr<HelpWindow> help_;
    bool closed_ = false;
};

// The automatic change's tick: one second (VANTORIA_TICK_MS, 1 to 1000,
// shortens it for tests).
std::chrono::milliseconds TickInterval();

// The primary screen's size in device pixels (VANTORIA_SCREEN overrides).
raster::ScreenSize QtScreenSize();

}  // namespace vantoria
