// The chooser dialog's two costly moments, under the offscreen platform:
//   1. a 24 MP JPEG from its selection in the file list to the painted
//      preview, decoded through the shipped JPEG plug-in (goal: < 0.3 s);
//   2. a folder of 10 000 files listed, by the core alone and by the dialog
//      showing it (goal: < 0.2 s).
//
//   vantoria-chooser-bench [--plugins DIR] [--reps N]
// DIR defaults to the folder of this program, where the plug-ins are built.

#include "SamplePicture.h"

#include "app/AppState.h"
#include "change/ChooserHost.h"
#include "change/PreviewFit.h"
#include "change/WallFileList.h"
#include "change/formChgWall.h"
#include "imaging/Spi_load.h"
#include "settings/ApSystem.h"
#include "widgets/BitmapImage.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace vantoria;
namespace fs = std::filesystem;

namespace {

class BenchHost final : public ChooserHost {
public:
    TSpi_load& Loader() override { return loader; }
    void ChangeWallPaper(const std::string&) override {}
    void EraseWallPaper() override {}
    void Redraw() override {}
    void SetupCommand() override {}
    void ShowSetupModal() override {}
    bool AppRunning() const override { return true; }
    TSpi_load loader;
};

// Best and median of `reps` runs of `body`, in milliseconds.
struct Timing {
    double best = 0, median = 0;
};
Timing Time(int reps, const std::function<void()>& prepare, const std::function<void()>& body) {
    std::vector<double> ms;
    for (int i = 0; i < reps; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        body();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void Row(const char* what, const Timing& t, double goalMs) {
    std::printf("%-44s %9.1f %9.1f %8.0f  %s\n", what, t.best, t.median, goalMs, t.best < goalMs ? "ok" : "SLOW");
}

}  // namespace

int main(int argc, char** argv) {
    std::string plugins = fs::canonical("/proc/self/exe").parent_path().string();
    int reps = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--plugins") plugins = argv[i + 1];
        else if (option == "--reps") reps = std::max(1, std::atoi(argv[i + 1]));
    }
    char pattern[] = "/tmp/vantoria-chooser-bench.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) return 1;
    const fs::path work = made;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("XDG_RUNTIME_DIR", made, 1);
    QApplication app(argc, argv);
    const fs::path photo = work / "photo", many = work / "many";
    fs::create_directories(photo);
    fs::create_directories(many);

    // A 6000 x 4000 photograph-like JPEG.
    {
        const QImage image = ToQImage(bench::SamplePicture(6000, 4000));
        if (!image.save(QString::fromStdString((photo / "photo.jpg").string()), "JPEG", 90)) {
            std::fprintf(stderr, "cannot write the JPEG (Qt's JPEG writer missing?)\n");
            return 1;
        }
    }
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Img%05d.%s", (i * 7919) % 10000, i % 10 == 9 ? "txt" : "jpg");
        std::ofstream(many / name);
    }

    BenchHost host;
    host.loader.SpiPathName = plugins;
    ApSystem.FileMask = kDefaultFileMask;
    ApSystem.PathWall = photo.string();
    AppRunning = true;
    Tform_ChgWall form(host);
    form.show();
    auto* list = form.findChild<QListWidget*>(QStringLiteral("flbox_Wall"));
    auto* preview = form.findChild<QLabel*>(QStringLiteral("img_PreView"));

    std::printf("%-44s %9s %9s %8s\n", "ms", "best", "median", "goal");
    Row("24 MP JPEG: selection to painted preview", Time(reps, [&] { list->clearSelection(); },
                                                        [&] {
                                                            list->setCurrentRow(0);
                                                            preview->repaint();
                                                        }),
        300);
    // Its two parts: the decode alone, and the fit into the preview.
    const std::string jpeg = (photo / "photo.jpg").string();
    Row("  of which: decode through the plug-in", Time(reps, [] {}, [&] {
            host.loader.LoadPlugins();
            host.loader.SetFile(jpeg);
            host.loader.CheckFile();
            host.loader.LoadPicture();
        }),
        300);
    if (host.loader.Bitmap()) {
        const raster::Bitmap decoded = *host.loader.Bitmap();
        Row("  of which: scaling to 177 x 118", Time(reps, [] {}, [&] {
                PreviewPicture(decoded, 177, 118);
            }),
            300);
    }
    if (preview->pixmap().isNull()) std::fprintf(stderr, "no preview: is the JPEG plug-in in %s?\n", plugins.c_str());

    std::size_t listed = 0;
    Row("10 000 files: ListWallFiles", Time(reps, [] {}, [&] { listed = ListWallFiles(many.string(), kDefaultFileMask).size(); }),
        200);
    ApSystem.PathWall = many.string();
    Row("10 000 files: dialog FormShow with its list", Time(reps, [] {}, [&] { form.FormShow(); }), 200);
    if (listed != 9000 || form.Files().size() != 9000) std::fprintf(stderr, "listed %zu files, not 9000\n", listed);

    form.hide();
    fs::remove_all(work);
    return 0;
}
