#include "app/ScreenWatch.h"

#include "app/formMain.h"
#include "change/ChangeWallPaper.h"
#include "compose/WallBufferPath.h"
#include "platform/desktop/DeskWallpaper.h"
#include "platform/registry/RegistryError.h"
#include "settings/ApSystem.h"

#include <QGuiApplication>
#include <QScreen>

namespace vantoria {

ScreenWatch::ScreenWatch(std::function<void()> redraw, QObject* parent, std::chrono::milliseconds settle,
                         LayoutSource layout)
    : QObject(parent),
      redraw_(std::move(redraw)),
      layoutSource_(layout ? std::move(layout) : LayoutSource(QtLayout)),
      layout_(layoutSource_()) {
    settle_.setSingleShot(true);
    settle_.setInterval(settle);
    connect(&settle_, &QTimer::timeout, this, &ScreenWatch::Settled);
    auto* app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        Watch(screen);
        LayoutMayHaveChanged();
    });
    connect(app, &QGuiApplication::screenRemoved, this, [this] { LayoutMayHaveChanged(); });
    connect(app, &QGuiApplication::primaryScreenChanged, this, [this] { LayoutMayHaveChanged(); });
    for (QScreen* screen : QGuiApplication::screens()) Watch(screen);
}

void ScreenWatch::Watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] { LayoutMayHaveChanged(); });
}

// Signals that leave every monitor where it was (a screen object replaced by
// an equal one) cause no redraw. The layout redrawn for is remembered, so a
// return to an earlier one (undocking after docking) is redrawn too.
void ScreenWatch::Settled() {
    QList<QRect> now = layoutSource_();
    if (now == layout_) return;
    layout_ = std::move(now);
    redraw_();
}

QList<QRect> ScreenWatch::QtLayout() {
    QList<QRect> layout;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) layout.append(primary->geometry());
    for (const QScreen* screen : QGuiApplication::screens()) layout.append(screen->geometry());
    return layout;
}

namespace {

// Whether the desktop shows our buffer file: the profile records the path
// of every wallpaper set through us.
bool BufferOnDesktop() {
    try {
        return desktop::RecordedWallpaper() == compose::WallBufferPath(ApSystem);
    } catch (const registry::RegistryError&) {
        return false;
    }
}

}  // namespace

void RedrawForNewMonitors(Tform_Main& form) {
    if (ApSystem.WallPaper.empty() || !BufferOnDesktop()) return;
    // The change operation itself, with an after-change step that does nothing.
    WallpaperChanger changer(form.SpiLoader(), ApSystem, QtScreenSize, [](const std::string&) { return true; });
    // The change tells the user of its own failure.
    static_cast<void>(changer.ChangeWallPaper(ApSystem.WallPaper));
}

void WatchScreens(Tform_Main& form) {
    new ScreenWatch([&form] { RedrawForNewMonitors(form); }, &form);  // a child of the form, which deletes it
    // What was put back at login (vantoria-change --restore) is the buffer
    // file alone, the primary monitor's composition, on every monitor; with
    // several monitors the program draws each one's own picture once it runs.
    QTimer::singleShot(0, &form, [&form] {
        if (QGuiApplication::screens().size() > 1) RedrawForNewMonitors(form);
    });
}

}  // namespace vantoria
