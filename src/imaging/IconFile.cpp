#include "imaging/IconFile.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "imaging/FileBytes.h"
#include "imaging/PngImage.h"
#include "platform/dib/ByteReader.h"
#include "platform/dib/Dib.h"

namespace vantoria::imaging {

namespace {

using dib::Bytes;
using dib::DibError;

constexpr std::size_t kDirectoryBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kInfoHeaderBytes = 40;

using dib::U16;
using dib::U32;

struct Entry {
    int width = 0;          // as the directory states it (0 stands for 256)
    int height = 0;
    int bitCount = 0;
    std::size_t offset = 0;
    std::size_t bytes = 0;
};

std::vector<Entry> ReadDirectory(Bytes file) {
    const std::size_t count = U16(file, 4);
    if (count == 0) throw DibError("the icon holds no image");
    if (file.size() < kDirectoryBytes + count * kEntryBytes) {
        throw DibError("truncated icon directory");
    }
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes e = file.subspan(kDirectoryBytes + i * kEntryBytes, kEntryBytes);
        Entry entry;
        entry.width = e[0] == 0 ? 256 : e[0];
        entry.height = e[1] == 0 ? 256 : e[1];
        entry.bitCount = U16(e, 6);
        entry.bytes = U32(e, 8);
        entry.offset = U32(e, 12);
        // An entry pointing outside the file is damage; skip it.
        if (entry.offset > file.size() || entry.bytes > file.size() - entry.offset) continue;
        entries.push_back(entry);
    }
    if (entries.empty()) throw DibError("truncated icon: no image lies inside the file");
    // An image is where it starts: entries that share a start are one image,
    // tried once, with the most bytes any of them grants it.
    std::vector<Entry> distinct;
    std::unordered_map<std::size_t, std::size_t> byOffset;  // start -> index in distinct
    for (const Entry& entry : entries) {
        const auto [seen, added] = byOffset.try_emplace(entry.offset, distinct.size());
        if (added) {
            distinct.push_back(entry);
        } else {
            Entry& first = distinct[seen->second];
            first.bytes = std::max(first.bytes, entry.bytes);
        }
    }
    entries = std::move(distinct);
    // Largest first; of equal sizes the deeper one; otherwise file order.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int areaA = a.width * a.height;
        const int areaB = b.width * b.height;
        return areaA != areaB ? areaA > areaB : a.bitCount > b.bitCount;
    });
    return entries;
}

// Row `row` of the stored rows, as a row index of the picture.
int PictureRow(const dib::DibInfo& info, int row, int rows) {
    return info.topDown ? row : rows - 1 - row;
}

// Blends 32-bit colour rows onto black by their alpha. False when every
// alpha is 0: the image then predates alpha and its AND mask applies.
bool ApplyAlpha(const dib::DibInfo& info, int rows, Bytes bits, raster::Bitmap& picture) {
    const std::size_t rowsPresent = std::min<std::size_t>(rows, bits.size() / info.rowBytes);
    bool anyAlpha = false;
    for (std::size_t r = 0; r < rowsPresent && !anyAlpha; ++r) {
        const Bytes row = bits.subspan(r * info.rowBytes, std::size_t(info.width) * 4);
        for (int x = 0; x < info.width && !anyAlpha; ++x) anyAlpha = row[std::size_t(x) * 4 + 3] != 0;
    }
    if (!anyAlpha) return false;
    for (std::size_t r = 0; r < rowsPresent; ++r) {
        const Bytes row = bits.subspan(r * info.rowBytes, std::size_t(info.width) * 4);
        std::uint8_t* dst = picture.ScanLine(PictureRow(info, static_cast<int>(r), rows));
        for (int x = 0; x < info.width; ++x) {
            const unsigned a = row[std::size_t(x) * 4 + 3];
            for (int c = 0; c < 3; ++c) {
                dst[x * 3 + c] = static_cast<std::uint8_t>((dst[x * 3 + c] * a + 127) / 255);
            }
        }
    }
    return true;
}

// Pixels whose AND-mask bit is set are transparent: black here. Mask rows
// the file does not hold leave their pixels opaque.
void ApplyMask(const dib::DibInfo& info, int rows, Bytes mask, raster::Bitmap& picture) {
    const std::size_t maskRowBytes = (std::size_t(info.width) + 31) / 32 * 4;
    const std::size_t rowsPresent = std::min<std::size_t>(rows, mask.size() / maskRowBytes);
    for (std::size_t r = 0; r < rowsPresent; ++r) {
        const Bytes row = mask.subspan(r * maskRowBytes, maskRowBytes);
        std::uint8_t* dst = picture.ScanLine(PictureRow(info, static_cast<int>(r), rows));
        for (int x = 0; x < info.width; ++x) {
            if ((row[std::size_t(x) / 8] >> (7 - x % 8)) & 1) {
                dst[x * 3] = dst[x * 3 + 1] = dst[x * 3 + 2] = 0;
            }
        }
    }
}

raster::Bitmap DecodeDibImage(Bytes image, const Entry& entry, const dib::Limits& limits) {
    const dib::DibInfo info = dib::ReadDibHeader(image, limits);
    if (info.headerSize < kInfoHeaderBytes) throw DibError("unsupported icon image header");
    if (info.Rle()) throw DibError("compressed icon images are not supported");
    // The header counts the AND mask's rows as well; a writer that left them
    // out states the directory's height.
    const int rows = info.height == entry.height || info.height < 2 ? info.height : info.height / 2;
    if (info.infoBytes > image.size()) throw DibError("truncated icon image: colour table");

    std::vector<std::uint8_t> header(image.begin(), image.begin() + std::ptrdiff_t(info.infoBytes));
    const std::int32_t storedHeight = info.topDown ? -rows : rows;
    for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<std::uint8_t>(std::uint32_t(storedHeight) >> (8 * i));

    const Bytes bits = image.subspan(info.infoBytes);
    raster::Bitmap picture = dib::DecodeDib(header, bits, limits);
    const bool alpha = info.bitCount == 32 && info.compression == dib::kBiRgb &&
                       ApplyAlpha(info, rows, bits, picture);
    if (!alpha) {
        // rows * rowBytes cannot overflow: the header's own image size,
        // twice as many rows, was computed with checks.
        const std::size_t colourBytes = info.rowBytes * std::size_t(rows);
        if (colourBytes < bits.size()) ApplyMask(info, rows, bits.subspan(colourBytes), picture);
    }
    return picture;
}

raster::Bitmap DecodeImage(Bytes file, const Entry& entry, const dib::Limits& limits) {
    // No image of an icon may be larger than its directory can state; a
    // header that claims more is refused before anything is allocated.
    const dib::Limits held{std::min(limits.maxSide, kMaxIconSide),
                           std::min(limits.maxPixels, std::int64_t{kMaxIconSide} * kMaxIconSide)};
    const Bytes image = file.subspan(entry.offset, entry.bytes);
    if (IsPng(image)) return DecodePng(image, held);
    return DecodeDibImage(image, entry, held);
}

}  // namespace

bool IsIcon(std::span<const std::uint8_t> start) {
    if (start.size() < kDirectoryBytes) return false;
    const std::uint16_t type = U16(start, 2);
    return U16(start, 0) == 0 && (type == 1 || type == 2) && U16(start, 4) != 0;
}

raster::Bitmap DecodeIcon(std::span<const std::uint8_t> file, const dib::Limits& limits) {
    if (!IsIcon(file)) throw DibError("not an icon");
    std::optional<DibError> firstError;
    for (const Entry& entry : ReadDirectory(file)) {
        try {
            return DecodeImage(file, entry, limits);
        } catch (const DibError& error) {
            if (!firstError) firstError = error;
        } catch (const raster::RasterError& error) {
            if (!firstError) firstError = DibError(error.what());
        }
    }
    throw DibError(std::string("no image of the icon can be read: ") + firstError->what());
}

raster::Bitmap LoadIconFile(const std::string& path, const dib::Limits& limits) {
    const std::vector<std::uint8_t> file = ReadFileBytes(path, kMaxIconFileBytes, true);
    return DecodeIcon(file, limits);
}

}  // namespace vantoria::imaging
