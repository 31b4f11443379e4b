// The chooser dialog's two costly moments, under the offscreen platform:
//   1. a 24 MP JPEG from its selection in the file list to the painted
//      preview, decoded through the shipped JPEG plug-in (goal: < 0.3 s);
//   2. a folder of 10 000 files listed, by the core alone and by the dialog
//      showing it (goal: < 0.2 s).
//
//   vantoria-chooser-bench [--plugins DIR] [--reps N] [--jpeg FILE] [--no-list]
// DIR defaults to the folder of this program, where the plug-ins are built.
// FILE is the JPEG to preview instead of a generated one; --no-list leaves
// out the folder listing.
// The decodes run in the decode helper, as in the program, unless
// VANTORIA_DECODE_IN_PROCESS=1 (bench/sandbox.sh compares the two).

#include "SamplePicture.h"

#include "app/AppState.h"
#include "change/ChooserHost.h"
#include "change/PreviewFit.h"
#include "change/WallFileList.h"
#include "change/formChgWall.h"
#include "imaging/DecodeHelper.h"
#include "imaging/DecodePicture.h"
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
#include <optional>
#include <string>
#include <thread>
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
    std::string givenJpeg;
    bool withList = true;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--no-list") withList = false;
        else if (i + 1 >= argc) break;
        else if (option == "--plugins") plugins = argv[++i];
        else if (option == "--reps") reps = std::max(1, std::atoi(argv[++i]));
        else if (option == "--jpeg") givenJpeg = argv[++i];
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

    // A 6000 x 4000 photograph-like JPEG, or the one given.
    if (!givenJpeg.empty()) {
        fs::copy_file(givenJpeg, photo / "photo.jpg");
    } else {
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
    // As in the tray program, a warm decode helper, started at the first
    // decode, loads the plug-ins while the user looks; give it the moment a
    // user's next click would.
    host.loader.Helper().KeepWarm = true;
    const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
    Row("24 MP JPEG: selection to painted preview", Time(reps, [&] { list->clearSelection(); settle(); },
                                                        [&] {
                                                            list->setCurrentRow(0);
                                                            preview->repaint();
                                                        }),
        300);
    // Its two parts: the decode alone, and the fit into the preview.
    const std::string jpeg = (photo / "photo.jpg").string();
    imaging::DecodedPicture decoded;
    Row("  of which: decode through the plug-in", Time(reps, settle, [&] {
            decoded = imaging::DecodePicture(host.loader, jpeg, {kPreviewSide, kPreviewSide});
        }),
        300);
    if (decoded.picture) {
        const raster::Bitmap& picture = *decoded.picture;
        const PreviewPlacement place = FitPreview(decoded.size.width, decoded.size.height);
        const std::string what = "  of which: " + std::to_string(picture.Width()) + " x " +
                                 std::to_string(picture.Height()) + " scaled to " + std::to_string(place.width) +
                                 " x " + std::to_string(place.height);
        Row(what.c_str(), Time(reps, [] {}, [&] { PreviewPicture(picture, place.width, place.height); }), 300);
    }
    if (preview->pixmap().isNull()) std::fprintf(stderr, "no preview: is the JPEG plug-in in %s?\n", plugins.c_str());

    if (!withList) {
        form.hide();
        fs::remove_all(work);
        return 0;
    }
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
