#include "imaging/NativePicture.h"

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileBytes.h"
#include "imaging/IconFile.h"
#include "platform/dib/Dib.h"

namespace vantoria::imaging {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Enough for every signature below.
constexpr std::size_t kSniffBytes = 44;

bool StartsWith(Bytes data, std::size_t at, std::initializer_list<std::uint8_t> magic) {
    if (data.size() < at + magic.size()) return false;
    std::size_t i = at;
    for (std::uint8_t m : magic) {
        if (data[i++] != m) return false;
    }
    return true;
}

// Placeable and plain Windows metafiles, and enhanced metafiles (record
// type 1 with " EMF" at offset 40).
bool IsMetafile(Bytes head) {
    return StartsWith(head, 0, {0xD7, 0xCD, 0xC6, 0x9A}) ||
           StartsWith(head, 0, {0x01, 0x00, 0x09, 0x00}) ||
           StartsWith(head, 0, {0x02, 0x00, 0x09, 0x00}) ||
           (StartsWith(head, 0, {0x01, 0x00, 0x00, 0x00}) && StartsWith(head, 40, {' ', 'E', 'M', 'F'}));
}

}  // namespace

raster::Bitmap LoadNativePicture(const std::string& path) {
    const std::vector<std::uint8_t> head = ReadFileBytes(path, kSniffBytes);
    if (IsIcon(head)) return LoadIconFile(path);
    if (IsMetafile(head)) {
        throw dib::DibError("cannot read " + path + ": Windows metafiles are not supported");
    }
    return dib::LoadBmpFile(path);
}

}  // namespace vantoria::imaging
