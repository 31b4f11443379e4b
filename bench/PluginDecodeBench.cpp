// Decodes one file through one plug-in, as the host does, and nothing else:
// the plug-in's own time and peak memory, for bench/plugins.sh.
//
//   vantoria-plugin-decode PLUGIN.spi FILE [WIDTH HEIGHT]
// With a size, through GetPictureReduced for a picture drawn no larger than
// it (as a stretched change asks). Prints the size delivered; exit status 1
// when the plug-in fails.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "susie.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s PLUGIN.spi FILE [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    auto isSupported = reinterpret_cast<SusieIsSupportedFn>(dlsym(plugin, "IsSupported"));
    auto getPicture = reinterpret_cast<SusieGetPictureFn>(dlsym(plugin, "GetPicture"));
    auto getReduced = reinterpret_cast<SusieGetPictureReducedFn>(dlsym(plugin, "GetPictureReduced"));
    const int fd = open(argv[2], O_RDONLY | O_CLOEXEC);
    const bool supported = isSupported != nullptr && fd >= 0 && isSupported(argv[2], fd) != 0;
    if (fd >= 0) close(fd);
    if (!supported || getPicture == nullptr) {
        std::fprintf(stderr, "%s does not read %s\n", argv[1], argv[2]);
        return 1;
    }
    SusieHandle info = nullptr, bits = nullptr;
    const int32_t code =
        argc == 5 && getReduced != nullptr
            ? getReduced(argv[2], 0, SUSIE_INPUT_FILE, std::atoi(argv[3]), std::atoi(argv[4]), &info, &bits, nullptr, 0)
            : getPicture(argv[2], 0, SUSIE_INPUT_FILE, &info, &bits, nullptr, 0);
    if (code != SUSIE_OK) {
        std::fprintf(stderr, "GetPicture failed: %d\n", static_cast<int>(code));
        return 1;
    }
    SusieBitmapInfoHeader header;
    std::memcpy(&header, susie_block_data(info), sizeof header);
    std::printf("%dx%d\n", static_cast<int>(header.biWidth), static_cast<int>(header.biHeight));
    susie_block_free(info);
    susie_block_free(bits);
    return 0;
}
