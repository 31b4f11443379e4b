// The exported entry points, the same for every plug-in; what differs lives
// in the plug-in's PluginFormat.

#include <vector>

#include "FileDescriptor.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "susie.h"

using namespace vantoria::spi;

namespace {

// Opens the decoder for a source whose first bytes this plug-in recognises.
std::unique_ptr<Decoder> OpenDecoder(const Source& source, const DecoderOpener& open = kPluginFormat.open) {
    std::vector<std::uint8_t> head(kPluginFormat.headBytes);
    head.resize(source.ReadAt(0, head.data(), head.size()));
    if (!kPluginFormat.recognise(head)) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "not this plug-in's format");
    return open(source);
}

}  // namespace

namespace vantoria::spi {

std::int32_t DecodeToHandles(const char* buf, intptr_t len, std::int32_t flag, SusieHandle* pHBInfo,
                             SusieHandle* pHBm, SusieProgressCallback lpProgressCallback, std::int32_t lData,
                             const DecoderOpener& open) {
    if (pHBInfo == nullptr || pHBm == nullptr) return SUSIE_ERR_MEMORY;
    *pHBInfo = nullptr;
    *pHBm = nullptr;
    return Guarded([&] {
        Progress progress(lpProgressCallback, lData);
        const Source source = Source::Open(buf, len, flag);
        auto decoder = OpenDecoder(source, open);
        const PictureSize size = decoder->Size();
        progress.Report(0, size.height);
        Dib24 out(size.width, size.height);
        decoder->Decode(out, progress);
        out.ClearPadding();
        progress.Report(size.height, size.height);
        out.HandOver(pHBInfo, pHBm);
    });
}

}  // namespace vantoria::spi

int32_t IsSupported(const char* /*filename*/, int32_t fd) {
    if (fd < 0) return 0;
    try {
        std::vector<std::uint8_t> head(kPluginFormat.headBytes);
        long long got = ReadFully(fd, head.data(), head.size(), 0);
        if (got <= 0) return 0;
        return kPluginFormat.recognise({head.data(), static_cast<std::size_t>(got)}) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int32_t GetPictureInfo(const char* buf, intptr_t len, int32_t flag, SusiePictureInfo* lpInfo) {
    if (lpInfo == nullptr) return SUSIE_ERR_MEMORY;
    return Guarded([&] {
        const Source source = Source::Open(buf, len, flag);
        const PictureSize size = OpenDecoder(source)->Size();
        SusiePictureInfo info{};
        info.width = size.width;
        info.height = size.height;
        info.colorDepth = 24;
        info.hInfo = nullptr;
        *lpInfo = info;
    });
}

int32_t GetPicture(const char* buf, intptr_t len, int32_t flag, SusieHandle* pHBInfo,
                   SusieHandle* pHBm, SusieProgressCallback lpProgressCallback, int32_t lData) {
    return DecodeToHandles(buf, len, flag, pHBInfo, pHBm, lpProgressCallback, lData, kPluginFormat.open);
}

int32_t GetPreview(const char*, intptr_t, int32_t, SusieHandle*, SusieHandle*,
                   SusieProgressCallback, int32_t) {
    return SUSIE_ERR_NOT_IMPLEMENTED;
}

int32_t GetArchiveInfo(const char*, intptr_t, int32_t, SusieHandle*) {
    return SUSIE_ERR_NOT_IMPLEMENTED;
}

int32_t GetFile(const char*, intptr_t, char*, int32_t, SusieProgressCallback, int32_t) {
    return SUSIE_ERR_NOT_IMPLEMENTED;
}

int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    return susie_plugin_info(kPluginFormat.infoTexts, kPluginFormat.infoCount, infono, buf, buflen);
}
