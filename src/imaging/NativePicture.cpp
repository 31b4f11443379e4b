#include "imaging/NativePicture.h"

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileBytes.h"
#include "imaging/IconFile.h"
#include "platform/memory/MemoryBudget.h"
#include "platform/dib/Dib.h"

namespace vantoria::imaging {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Enough for every signature below and for a bitmap file's headers.
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kSniffBytes = kFileHeaderBytes + 124;

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

// Refuses a bitmap file whose picture the machine has no memory for, before
// the reader allocates it. Headers it cannot make sense of are left for the
// reader to report.
void CheckBitmapMemory(Bytes head, const std::string& path) {
    if (!StartsWith(head, 0, {'B', 'M'})) return;
    dib::DibInfo info;
    try {
        info = dib::ReadDibHeader(head.subspan(kFileHeaderBytes));
    } catch (const dib::DibError&) {
        return;
    }
    const std::string problem = PictureMemoryProblem(info.width, info.height);
    if (!problem.empty()) throw dib::DibError("cannot read " + path + ": " + problem);
}

}  // namespace

raster::Bitmap LoadNativePicture(const std::string& path) {
    const std::vector<std::uint8_t> head = ReadFileBytes(path, kSniffBytes);
    if (IsIcon(head)) return LoadIconFile(path);
    if (IsMetafile(head)) {
        throw dib::DibError("cannot read " + path + ": Windows metafiles are not supported");
    }
    CheckBitmapMemory(head, path);
    return dib::LoadBmpFile(path);
}

}  // namespace vantoria::imaging
