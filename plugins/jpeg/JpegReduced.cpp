// GetPictureReduced: GetPicture for a host that will draw the picture no
// larger than a given size, decoded by libjpeg at a reduced scale.

#include "JpegReduced.h"
#include "susie.h"

using namespace vantoria::spi;

int32_t GetPictureReduced(const char* buf, intptr_t len, int32_t flag, int32_t minWidth, int32_t minHeight,
                          SusieHandle* pHBInfo, SusieHandle* pHBm, SusieProgressCallback lpProgressCallback,
                          int32_t lData) {
    return DecodeToHandles(buf, len, flag, pHBInfo, pHBm, lpProgressCallback, lData,
                           [=](const Source& source) { return OpenReduced(source, minWidth, minHeight); });
}
