#include "platform/dib/Palette.h"

#include <algorithm>

namespace vantoria::dib {

Palette ReadPalette(const DibInfo& info, std::span<const std::uint8_t> table) {
    Palette palette;
    if (info.bitCount > 8) return palette;
    const std::size_t present = table.size() / info.colorEntryBytes;
    const std::size_t count = std::min<std::size_t>({present, info.colorCount, 256});
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = table.data() + i * info.colorEntryBytes;
        palette.colors[i] = Bgr{e[0], e[1], e[2]};
    }
    palette.count = static_cast<int>(count);
    return palette;
}

}  // namespace vantoria::dib
