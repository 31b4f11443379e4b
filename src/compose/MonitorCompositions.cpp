#include "compose/MonitorCompositions.h"

#include "compose/WallComposer.h"
#include "platform/memory/MemoryBudget.h"
#include "platform/desktop/X11Layout.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace vantoria::compose {
namespace {

// Modes 1 to 6 size or place the picture by the screen; every other mode
// writes it unchanged.
bool DependsOnScreen(int mode) { return mode >= 1 && mode <= 6; }

// Refuses a picture of `size` (and its working copy) that the machine has
// no room for, before it is allocated.
void CheckBudget(raster::ScreenSize size) {
    if (std::string problem = imaging::PictureMemoryProblem(size.width, size.height); !problem.empty())
        throw raster::RasterError(problem);
}

// Draws `picture` on `target` within `area` as the desktop lays it out there.
void LayOutOn(raster::Bitmap& target, const raster::Rect& area, const raster::Bitmap& picture, bool tile) {
    const int w = area.Width(), h = area.Height();
    const desktop::RootLayout layout = desktop::LayOut(picture.Width(), picture.Height(), w, h, tile);
    const raster::Rect& source = layout.source;
    if (source.Width() <= 0 || source.Height() <= 0) return;
    if (!layout.tiled) {
        const int x = area.left + layout.x, y = area.top + layout.y;
        target.CopyRect(raster::MakeRect(x, y, x + source.Width(), y + source.Height()), picture, source);
        return;
    }
    for (int y = 0; y < h; y += source.Height()) {
        for (int x = 0; x < w; x += source.Width()) {
            const int cw = std::min(source.Width(), w - x), ch = std::min(source.Height(), h - y);
            target.CopyRect(raster::MakeRect(area.left + x, area.top + y, area.left + x + cw, area.top + y + ch),
                            picture, raster::MakeRect(source.left, source.top, source.left + cw, source.top + ch));
        }
    }
}

// The first failure says enough.
void Note(std::string& problem, const Monitor& m, const char* why) {
    if (problem.empty())
        problem = "the monitor " + (m.name.empty() ? m.Identity() : m.name) + " shows the primary monitor's picture: " + why;
}

}  // namespace

MonitorComposer ForOtherMonitorSizes(const raster::Bitmap& picture, const TApSystem& settings, int mode,
                                     const raster::ScreenSizeSource& screen, raster::ScreenSize pictureSize) {
    std::optional<raster::ScreenSize> bufferScreen;
    try {
        bufferScreen = screen();
    } catch (const std::exception&) {
        // Unknown: every monitor gets a composition of its own.
    }
    MonitorComposer composer;
    // The copy shares the picture's pixels.
    composer.compose = [picture, &settings, mode, bufferScreen, pictureSize,
                        problem = composer.problem](const Monitor& m) -> std::optional<raster::Bitmap> {
        const raster::ScreenSize size = m.Size();
        if (!DependsOnScreen(mode) || size == bufferScreen) return std::nullopt;
        try {
            CheckBudget(size);
            const WallComposer composer(picture, settings, [size] { return size; }, pictureSize);
            raster::Bitmap work;
            // A failed step leaves the layout as far as the steps got, as on
            // the buffer's own screen, where the change reports it.
            static_cast<void>(composer.Compose(mode, work));
            if (work.Empty()) return std::nullopt;
            return work;
        } catch (const std::exception& e) {
            Note(*problem, m, e.what());
            return std::nullopt;  // that monitor shows the buffer file instead
        }
    };
    return composer;
}

raster::Bitmap ScreenPicture(const raster::Bitmap& picture, const TApSystem& settings,
                             const Composition& composition, raster::ScreenSize size) {
    CheckBudget(size);
    raster::Bitmap work;
    const WallComposer composer(picture, settings, [size] { return size; });
    // As for the other sizes: a failed step leaves the layout as far as it got.
    static_cast<void>(composer.Compose(composition.mode, work));
    if (work.Empty()) work = picture;
    raster::Bitmap screen(size.width, size.height);
    screen.Fill(0, 0, 0);
    LayOutOn(screen, raster::MakeRect(0, 0, size.width, size.height), work, composition.tile);
    return screen;
}

MonitorComposer ForSpannedMonitors(const raster::Bitmap& picture, const TApSystem& settings,
                                   const Composition& composition, const MonitorList& monitors) {
    MonitorComposer composer;
    composer.sizeOnly = false;
    const Monitor box = BoundingBox(monitors);
    // Made at the first monitor's turn, shared by the others, gone with the composer.
    auto whole = std::make_shared<std::optional<raster::Bitmap>>();
    auto failure = std::make_shared<std::string>();
    composer.compose = [picture, &settings, composition, box, whole, failure,
                        problem = composer.problem](const Monitor& m) -> std::optional<raster::Bitmap> {
        try {
            if (!failure->empty()) throw raster::RasterError(*failure);
            if (!*whole) {
                try {
                    *whole = ScreenPicture(picture, settings, composition, box.Size());
                } catch (const std::exception& e) {
                    *failure = e.what();
                    throw;
                }
            }
            raster::Bitmap part(m.width, m.height);
            part.Fill(0, 0, 0);
            const int sx = m.x - box.x, sy = m.y - box.y;
            part.CopyRect(raster::MakeRect(0, 0, m.width, m.height), **whole,
                          raster::MakeRect(sx, sy, sx + m.width, sy + m.height));
            return part;
        } catch (const std::exception& e) {
            Note(*problem, m, e.what());
            return std::nullopt;
        }
    };
    return composer;
}

MonitorComposer ForEachMonitor(MonitorPictureSource source, const TApSystem& settings,
                               const Composition& composition, std::shared_ptr<std::string> problem) {
    MonitorComposer composer;
    if (problem) composer.problem = std::move(problem);
    composer.sizeOnly = false;
    composer.compose = [source = std::move(source), &settings, composition,
                        problem = composer.problem](const Monitor& m) -> std::optional<raster::Bitmap> {
        try {
            std::optional<raster::Bitmap> picture = source(m);
            if (!picture || picture->Empty()) return std::nullopt;
            return ScreenPicture(*picture, settings, composition, m.Size());
        } catch (const std::exception& e) {
            Note(*problem, m, e.what());
            return std::nullopt;
        }
    };
    return composer;
}

raster::Bitmap MonitorCanvas(const MonitorList& monitors, const MonitorComposer& perMonitor,
                             const raster::Bitmap& buffer, bool tile) {
    const Monitor box = BoundingBox(monitors);
    CheckBudget(box.Size());
    raster::Bitmap canvas(box.width, box.height);
    canvas.Fill(0, 0, 0);
    // The primary monitor last: where monitors overlap, it shows its own picture.
    const Monitor* primary = &PrimaryMonitor(monitors);
    std::vector<const Monitor*> order;
    for (const Monitor& m : monitors)
        if (&m != primary) order.push_back(&m);
    order.push_back(primary);
    for (const Monitor* m : order) {
        const raster::Rect area = raster::MakeRect(m->x - box.x, m->y - box.y, m->x - box.x + m->width, m->y - box.y + m->height);
        std::optional<raster::Bitmap> own = perMonitor ? perMonitor(*m) : std::nullopt;
        LayOutOn(canvas, area, own ? *own : buffer, tile);
    }
    return canvas;
}

}  // namespace vantoria::compose
