#pragma once
// What each plug-in provides to the shared entry points (Entry.cpp): its
// GetPluginInfo texts, how to recognise its files and how to decode them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "Dib24.h"
#include "Progress.h"
#include "Source.h"
#include "susie.h"

namespace vantoria::spi {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// One picture being decoded. Opening it reads as far as the size; Decode
// writes every pixel of `out`, which has that size. Both throw PluginError.
class Decoder {
public:
    virtual ~Decoder() = default;
    virtual PictureSize Size() const = 0;
    virtual void Decode(Dib24& out, Progress& progress) = 0;
};

struct PluginFormat {
    // Version, name, then pattern and description pairs.
    const char* const* infoTexts;
    std::int32_t infoCount;
    // IsSupported reads this many bytes from the start of the file.
    std::size_t headBytes;
    // Decides from the first bytes (fewer than headBytes for a short file).
    bool (*recognise)(std::span<const std::uint8_t> head);
    // Called only for a source whose first bytes it recognises. Throws
    // PluginError; the source outlives the decoder.
    std::unique_ptr<Decoder> (*open)(const Source& source);
};

// Defined once in each plug-in.
extern const PluginFormat kPluginFormat;

// Makes the decoder for a source whose first bytes this plug-in recognises.
using DecoderOpener = std::function<std::unique_ptr<Decoder>(const Source& source)>;

// GetPicture's whole sequence with the decoder `open` makes: the checks of
// the handles, the format, the decode with progress, the hand-over. Entry
// points that decode differently (GetPictureReduced) share it.
std::int32_t DecodeToHandles(const char* buf, intptr_t len, std::int32_t flag, SusieHandle* pHBInfo,
                             SusieHandle* pHBm, SusieProgressCallback lpProgressCallback, std::int32_t lData,
                             const DecoderOpener& open);

}  // namespace vantoria::spi
