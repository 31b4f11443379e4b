#pragma once
// Notices when monitors are added, removed, moved or resized (docking a
// laptop, a new resolution) and then redraws the current wallpaper for the
// new layout, so that no monitor keeps a stretched or off-centre picture.

#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <functional>

class QScreen;

namespace vantoria {

class Tform_Main;

class ScreenWatch : public QObject {
    Q_OBJECT
public:
    // The primary monitor's geometry first, then every one's.
    using LayoutSource = std::function<QList<QRect>()>;

    // Calls `redraw` once the monitors have stayed the same for `settle`
    // after a change: a hot-plug arrives as several signals in a row.
    // `layout` reads the monitors (Qt's screens unless a test says otherwise).
    explicit ScreenWatch(std::function<void()> redraw, QObject* parent = nullptr,
                         std::chrono::milliseconds settle = std::chrono::milliseconds(500),
                         LayoutSource layout = {});

    // What a monitor signal does: the layout is compared once it settles.
    void LayoutMayHaveChanged() { settle_.start(); }
    bool Settling() const { return settle_.isActive(); }

private:
    void Watch(QScreen* screen);
    void Settled();
    static QList<QRect> QtLayout();

    std::function<void()> redraw_;
    LayoutSource layoutSource_;
    QTimer settle_;
    QList<QRect> layout_;  // the layout last reacted to (at first, the start-up one)
};

// The tray program's redraw after a monitor change: the current wallpaper
// (WallPaper) composed and applied again, as long as our buffer file is what
// the desktop shows (nothing after an Erase, or when another program has set
// the wallpaper since). The after-change program does not run: the picture
// has not changed, only the monitors it is laid out on.
void RedrawForNewMonitors(Tform_Main& form);

// Hooks a watch into the main form; the form owns it.
void WatchScreens(Tform_Main& form);

}  // namespace vantoria
