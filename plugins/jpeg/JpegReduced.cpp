// GetPictureReduced: GetPicture for a host that will draw the picture no
// larger than a given size, decoded by libjpeg at a reduced scale.

#include <vector>

#include "JpegReduced.h"
#include "PluginError.h"
#include "susie.h"

using namespace vantoria::spi;

int32_t GetPictureReduced(const char* buf, intptr_t len, int32_t flag, int32_t minWidth, int32_t minHeight,
                          SusieHandle* pHBInfo, SusieHandle* pHBm, SusieProgressCallback lpProgressCallback,
                          int32_t lData) {
    if (pHBInfo == nullptr || pHBm == nullptr) return SUSIE_ERR_MEMORY;
    *pHBInfo = nullptr;
    *pHBm = nullptr;
    return Guarded([&] {
        Progress progress(lpProgressCallback, lData);
        const Source source = Source::Open(buf, len, flag);
        std::vector<std::uint8_t> head(kPluginFormat.headBytes);
        head.resize(source.ReadAt(0, head.data(), head.size()));
        if (!kPluginFormat.recognise(head)) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "not this plug-in's format");
        auto decoder = OpenReduced(source, minWidth, minHeight);
        const PictureSize size = decoder->Size();
        progress.Report(0, size.height);
        Dib24 out(size.width, size.height);
        decoder->Decode(out, progress);
        out.ClearPadding();
        progress.Report(size.height, size.height);
        out.HandOver(pHBInfo, pHBm);
    });
}
