// How far a stretched wallpaper drawn from the JPEG plug-in's reduced decode
// lies from the one drawn from the whole picture: both stretched to the
// screen's size as the change does it, compared channel by channel.
//
//   vantoria-reduced-error PLUGIN_FOLDER FILE WIDTH HEIGHT
// Prints the decoded size and the largest and mean difference (0..255);
// exit status 1 when the picture cannot be decoded.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "imaging/Spi_load.h"
#include "platform/raster/Stretch.h"

using namespace vantoria;

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s PLUGIN_FOLDER FILE WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    try {
        const raster::ScreenSize screen{std::atoi(argv[3]), std::atoi(argv[4])};
        TSpi_load loader;
        loader.SpiPathName = argv[1];
        loader.LoadPlugins();
        if (!loader.SetFile(argv[2]) || !loader.LoadPicture()) {
            std::fprintf(stderr, "cannot decode %s\n", argv[2]);
            return 1;
        }
        const raster::Bitmap whole = raster::Stretched(*loader.Bitmap(), screen);
        if (!loader.LoadPicture(screen)) {
            std::fprintf(stderr, "cannot decode %s reduced\n", argv[2]);
            return 1;
        }
        const raster::Bitmap& reducedPicture = *loader.Bitmap();
        const raster::Bitmap reduced = raster::Stretched(reducedPicture, screen);
        int largest = 0;
        double sum = 0;
        for (int y = 0; y < screen.height; ++y) {
            const std::uint8_t* a = whole.ScanLine(y);
            const std::uint8_t* b = reduced.ScanLine(y);
            for (int i = 0; i < screen.width * 3; ++i) {
                const int d = std::abs(int(a[i]) - int(b[i]));
                largest = std::max(largest, d);
                sum += d;
            }
        }
        std::printf("decoded at %dx%d: largest difference %d, mean %.2f\n", reducedPicture.Width(),
                    reducedPicture.Height(), largest, sum / (double(screen.width) * screen.height * 3));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
