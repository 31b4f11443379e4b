// PICT plug-in: the pixel images inside QuickDraw pictures, version 1 and 2,
// with or without the 512-byte file header. The picture's opcodes are walked
// to the end; every bitmap and pixel map (BitsRect, PackBitsRect,
// DirectBitsRect and their region forms) is drawn onto a white picture the
// size of the picture frame, at the resolution of the first pixel image, so a
// picture holding one image gives exactly that image. Clip regions, masks and
// transfer modes are ignored (a plain copy); vector drawing is skipped, and a
// picture with nothing but vector drawing is refused.

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "ByteReader.h"
#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"

namespace vantoria::spi {
namespace {

constexpr std::size_t kFileHeader = 512;
// Picture size (2) and frame (8) come before the version opcode.
constexpr std::size_t kFrameEnd = 10;
// The opcodes that end the picture, mark version 2, hold a compressed image.
constexpr std::uint16_t kOpEnd = 0x00FF;
constexpr std::uint16_t kOpVersion2 = 0x02FF;
constexpr std::uint16_t kOpCompressed = 0x8200;
// More pixel images than this, or more drawing than this many times the
// picture's area, are refused: a real picture has a few, side by side.
constexpr std::size_t kMaxImages = 4096;
constexpr std::int64_t kMaxOverdraw = 8;

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    std::int64_t Width() const { return std::int64_t{right} - left; }
    std::int64_t Height() const { return std::int64_t{bottom} - top; }
};

Rect ReadRect(ByteReader& r) {
    Rect rect;
    rect.top = r.S16BE();
    rect.left = r.S16BE();
    rect.bottom = r.S16BE();
    rect.right = r.S16BE();
    return rect;
}

struct Start {
    std::size_t base;  // where the picture size field is
    int version;
};

int S16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] << 8 | p[1]); }

// The version opcode after a sensible frame, with or without the file header.
std::optional<Start> FindStart(std::span<const std::uint8_t> head) {
    for (std::size_t base : {std::size_t{0}, kFileHeader}) {
        if (head.size() < base + kFrameEnd + 4) continue;
        const std::uint8_t* p = head.data() + base;
        if (S16(p + 2) >= S16(p + 6) || S16(p + 4) >= S16(p + 8)) continue;
        const std::uint8_t* v = p + kFrameEnd;
        if (v[0] == 0x00 && v[1] == 0x11 && v[2] == 0x02 && v[3] == 0xFF) return Start{base, 2};
        if (v[0] == 0x11 && v[1] == 0x01) return Start{base, 1};
    }
    return std::nullopt;
}

bool Recognise(std::span<const std::uint8_t> head) { return FindStart(head).has_value(); }

// The version opcode FindStart looks for, with or without the file header.
SUSIE_DECLARE_HEADS(4, Head(kFrameEnd, "\x00\x11\x02\xFF"), Head(kFrameEnd, "\x11\x01"),
                    Head(kFileHeader + kFrameEnd, "\x00\x11\x02\xFF"), Head(kFileHeader + kFrameEnd, "\x11\x01"));

// How an image's rows are stored, and what one row unpacks to.
enum class Storage { Raw, PackedBytes, PackedWords };
enum class Layout { Indexed, Rgb555, Xrgb, Rgb, Planar };

struct Image {
    Rect bounds, src, dst;
    int rowBytes = 0;
    int pixelSize = 1;
    int components = 3;
    Storage storage = Storage::Raw;
    Layout layout = Layout::Indexed;
    std::size_t storedBytes = 0;    // of a raw row
    std::size_t unpackedBytes = 0;  // of a row once unpacked
    unsigned countBytes = 1;        // of a packed row's byte count
    std::vector<std::array<std::uint8_t, 3>> palette;
    std::size_t dataPos = 0;
};

void SkipRegion(ByteReader& r) {
    const std::uint16_t size = r.U16BE();  // counts itself
    if (size < 2) Broken("bad region");
    r.Skip(size - 2u);
}

// A 16-bit colour channel to 8 bits, rounded.
std::uint8_t To8(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 32767) / 65535); }

// The colour table of an indexed pixel map.
void ReadColourTable(ByteReader& r, Image& image) {
    r.Skip(4);  // seed
    const int size = image.pixelSize;
    if (size != 1 && size != 2 && size != 4 && size != 8) Broken("unknown pixel size");
    const bool byPosition = (r.U16BE() & 0x8000) != 0;
    const unsigned count = r.U16BE() + 1u;
    if (count > 256) Broken("colour table too large");
    image.palette.assign(std::size_t{1} << image.pixelSize, {0, 0, 0});
    for (unsigned i = 0; i < count; ++i) {
        const unsigned index = byPosition ? i : r.U16BE();
        if (byPosition) r.Skip(2);
        const std::uint8_t red = To8(r.U16BE()), green = To8(r.U16BE()), blue = To8(r.U16BE());
        if (index < image.palette.size()) image.palette[index] = {red, green, blue};
    }
}

// The fields of a pixel map after its bounds; answers the packing type.
int ReadPixMapFields(ByteReader& r, Image& image, bool direct) {
    r.Skip(2);  // version
    const int packType = r.U16BE();
    r.Skip(4 + 4 + 4);  // packSize, hRes, vRes
    const int pixelType = r.U16BE();
    image.pixelSize = r.U16BE();
    image.components = r.U16BE();
    r.Skip(2 + 4 + 4 + 4);  // cmpSize, planeBytes, pmTable, pmReserved
    if (!direct && pixelType != 0) Broken("unknown pixel type");
    return packType;
}

// Settles how rows are stored and checks that a row holds the bounds' width.
void SetStorage(Image& image, bool packedOp, bool direct, int packType) {
    const std::int64_t width = image.bounds.Width();
    const bool packed = packedOp && image.rowBytes >= 8;
    image.storage = packed ? Storage::PackedBytes : Storage::Raw;
    image.storedBytes = image.unpackedBytes = static_cast<std::size_t>(image.rowBytes);
    std::int64_t needed = 0;
    if (!direct) {
        const int size = image.pixelSize;
        if (size != 1 && size != 2 && size != 4 && size != 8) Broken("unknown pixel size");
        image.layout = Layout::Indexed;
        needed = (width * size + 7) / 8;
    } else if (image.pixelSize == 16) {
        if (packed && packType != 0 && packType != 3 && packType != 1) Broken("unknown packing");
        if (packed && packType == 1) image.storage = Storage::Raw;
        if (image.storage == Storage::PackedBytes) image.storage = Storage::PackedWords;
        image.layout = Layout::Rgb555;
        needed = width * 2;
    } else if (image.pixelSize == 32) {
        needed = width * 4;
        if (!packed || packType == 1) {
            image.storage = Storage::Raw;
            image.layout = Layout::Xrgb;
        } else if (packType == 2) {
            image.storage = Storage::Raw;
            image.layout = Layout::Rgb;
            image.storedBytes = image.unpackedBytes = static_cast<std::size_t>(width) * 3;
        } else if (packType == 0 || packType == 4) {
            if (image.components != 3 && image.components != 4) Broken("unknown component count");
            image.layout = Layout::Planar;
            image.unpackedBytes = static_cast<std::size_t>(width) * image.components;
        } else {
            Broken("unknown packing");
        }
    } else {
        Broken("unknown pixel size");
    }
    if (needed > image.rowBytes) Broken("rows narrower than the image");
    // QuickDraw counts a packed row's bytes in a word when rows are longer
    // than 250 bytes, else in a byte.
    image.countBytes = image.rowBytes > 250 ? 2 : 1;
}

// One row's bytes as stored: a raw row, or a byte count and PackBits data.
std::span<const std::uint8_t> TakeRow(ByteReader& r, const Image& image) {
    if (image.storage == Storage::Raw) return r.Take(image.storedBytes);
    const unsigned count = image.countBytes == 2 ? r.U16BE() : r.U8();
    return r.Take(count);
}

// Bytes a PackBits row unpacks to, when it ends exactly at the end of its
// data; nullopt otherwise.
std::optional<std::size_t> PackedLength(std::span<const std::uint8_t> in, std::size_t unit) {
    std::size_t i = 0, o = 0;
    while (i < in.size()) {
        const unsigned flag = in[i++];
        if (flag < 128) {
            i += (flag + 1) * unit;
            o += (flag + 1) * unit;
        } else if (flag > 128) {
            i += unit;
            o += (257 - flag) * unit;
        }
    }
    if (i != in.size()) return std::nullopt;
    return o;
}

// Whether every packed row, counted in `countBytes`, unpacks to exactly a
// row. Leaves `r` after the rows.
bool RowsFit(ByteReader& r, Image& image, unsigned countBytes) {
    image.countBytes = countBytes;
    const std::size_t unit = image.storage == Storage::PackedWords ? 2 : 1;
    try {
        for (std::int64_t y = 0; y < image.bounds.Height(); ++y)
            if (PackedLength(TakeRow(r, image), unit) != image.unpackedBytes) return false;
    } catch (const PluginError&) {
        return false;
    }
    return true;
}

// Walks past the rows. Some writers count the packed rows of a direct image
// in a byte by the length of its unpacked components rather than of
// rowBytes (ImageMagick's pictures 63 to 66 pixels wide, say): when only
// the other count size fits every row exactly, that is the one used.
void SkipRows(ByteReader& r, Image& image) {
    if (image.storage != Storage::Raw) {
        const unsigned quickDraw = image.countBytes;
        if (RowsFit(r, image, quickDraw)) return;
        r.Seek(image.dataPos);
        if (RowsFit(r, image, 3 - quickDraw)) return;
        r.Seek(image.dataPos);
        image.countBytes = quickDraw;
    }
    for (std::int64_t y = 0; y < image.bounds.Height(); ++y) TakeRow(r, image);
}

// PackBits in units of one or two bytes. Output beyond the row is dropped;
// what the data leaves unwritten stays as it was (zero).
void UnpackBits(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, std::size_t unit) {
    std::size_t i = 0, o = 0;
    while (i < in.size() && o < out.size()) {
        const unsigned flag = in[i++];
        if (flag < 128) {
            const std::size_t n = std::min((flag + 1) * unit, in.size() - i);
            const std::size_t copy = std::min(n, out.size() - o);
            std::memcpy(out.data() + o, in.data() + i, copy);
            i += n, o += copy;
        } else if (flag > 128) {
            if (in.size() - i < unit) break;
            for (unsigned k = 0; k < 257 - flag && o + unit <= out.size(); ++k, o += unit)
                std::memcpy(out.data() + o, in.data() + i, unit);
            i += unit;
        }
    }
}

// Reads an image's header after its opcode; leaves `r` after its pixel data.
Image ReadImage(ByteReader& r, std::uint16_t op) {
    const bool direct = op == 0x9A || op == 0x9B;
    const bool packedOp = op >= 0x98;
    const bool withRegion = (op & 1) != 0;
    Image image;
    if (direct) r.Skip(4);  // base address
    const std::uint16_t rowBytes = r.U16BE();
    image.rowBytes = rowBytes & 0x3FFF;
    image.bounds = ReadRect(r);
    int packType = 0;
    if (direct || (rowBytes & 0x8000) != 0) {
        packType = ReadPixMapFields(r, image, direct);
        if (!direct) ReadColourTable(r, image);
    } else {
        // A one-bit bitmap: background white, foreground black.
        image.palette = {{255, 255, 255}, {0, 0, 0}};
    }
    image.src = ReadRect(r);
    image.dst = ReadRect(r);
    r.Skip(2);  // transfer mode
    if (withRegion) SkipRegion(r);
    if (image.bounds.Width() <= 0 || image.bounds.Height() <= 0) Broken("empty image bounds");
    SetStorage(image, packedOp, direct, packType);
    image.dataPos = r.Pos();
    SkipRows(r, image);
    return image;
}

// A pixel pattern (fill, pen or background): skipped, its image included.
void SkipPixPat(ByteReader& r) {
    const std::uint16_t type = r.U16BE();
    r.Skip(8);  // the one-bit pattern
    if (type == 2) {
        r.Skip(6);  // dither colour
    } else if (type == 1) {
        Image image;
        image.rowBytes = r.U16BE() & 0x3FFF;
        image.bounds = ReadRect(r);
        ReadPixMapFields(r, image, false);
        ReadColourTable(r, image);
        if (image.bounds.Height() < 0) Broken("bad pattern");
        SetStorage(image, true, false, 0);
        for (std::int64_t y = 0; y < image.bounds.Height(); ++y) TakeRow(r, image);
    } else if (type != 0) {
        Broken("unknown pattern type");
    }
}

// Skips the data of an opcode other than the pixel images, the header and
// the end. Answers whether it draws (vector drawing or text).
bool SkipOpcode(ByteReader& r, std::uint16_t op) {
    auto skipWordLength = [&] { r.Skip(r.U16BE()); };
    auto skipLongLength = [&] { r.Skip(r.U32BE()); };
    if (op >= 0x8100) return skipLongLength(), false;
    if (op >= 0x8000) return false;
    if (op == kOpVersion2) return r.Skip(2), false;
    if (op >= 0x100) return r.Skip(2u * (op >> 8)), false;
    if (op >= 0xD0) return skipLongLength(), false;
    if (op >= 0xB0) return false;
    if (op >= 0xA2) return skipWordLength(), false;
    if (op >= 0x20 && op < 0x90) {
        static constexpr int kShapeData[] = {8, 0, 8, 0, 8, 0, 12, 4};  // rect .. arc, then "same" forms
        switch (op) {
        case 0x20: r.Skip(8); break;
        case 0x21: r.Skip(4); break;
        case 0x22: r.Skip(6); break;
        case 0x23: r.Skip(2); break;
        case 0x24: case 0x25: case 0x26: case 0x27: case 0x2C: case 0x2D: case 0x2E: case 0x2F:
            skipWordLength();  // reserved, font name, justification, glyph state
            return false;
        case 0x28: r.Skip(4), r.Skip(r.U8()); break;
        case 0x29: case 0x2A: r.Skip(1), r.Skip(r.U8()); break;
        case 0x2B: r.Skip(2), r.Skip(r.U8()); break;
        default:
            if ((op >= 0x70 && op < 0x78) || (op >= 0x80 && op < 0x88)) {
                SkipRegion(r);  // polygons have the same size field
            } else if (op >= 0x30 && op < 0x70) {
                r.Skip(kShapeData[(op - 0x30) >> 3]);
            }
        }
        return true;
    }
    switch (op) {
    case 0x00: case 0x17: case 0x18: case 0x19: case 0x1C: case 0x1E: return false;
    case 0x01: SkipRegion(r); return false;
    case 0x04: r.Skip(1); return false;
    case 0x03: case 0x05: case 0x08: case 0x0D: case 0x15: case 0x16: case 0xA0: r.Skip(2); return false;
    case 0x06: case 0x07: case 0x0B: case 0x0C: case 0x0E: case 0x0F: r.Skip(4); return false;
    case 0x02: case 0x09: case 0x0A: case 0x10: r.Skip(8); return false;
    case 0x11: r.Skip(1); return false;
    case 0x1A: case 0x1B: case 0x1D: case 0x1F: r.Skip(6); return false;
    case 0x12: case 0x13: case 0x14: SkipPixPat(r); return false;
    case 0xA1: r.Skip(2), skipWordLength(); return false;
    default: skipWordLength(); return false;  // 0x92-0x97, 0x9C-0x9F: reserved, with a length
    }
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

class PictDecoder final : public Decoder {
public:
    explicit PictDecoder(const Source& source) : source_(source) {
        std::uint8_t head[kFileHeader + kFrameEnd + 4];
        const auto start = FindStart({head, source.ReadAt(0, head, sizeof head)});
        if (!start) throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT, "not a PICT picture");
        ByteReader r(source, start->base + 2);
        frame_ = ReadRect(r);
        ReadOpcodes(r, *start);
        if (images_.empty()) {
            throw PluginError(SUSIE_ERR_UNKNOWN_FORMAT,
                              compressed_    ? "the picture holds a compressed (QuickTime) image, which this plug-in does not read"
                              : drawsVectors_ ? "the picture holds only vector drawing, which this plug-in does not draw"
                                              : "the picture holds no image");
        }
        // The first image's resolution: its source size over its destination size.
        const Image& first = images_.front();
        if (first.src.Width() <= 0 || first.src.Height() <= 0 || first.dst.Width() <= 0 || first.dst.Height() <= 0)
            Broken("empty image rectangle");
        scaleX_ = {first.src.Width(), first.dst.Width()};
        scaleY_ = {first.src.Height(), first.dst.Height()};
        const std::int64_t width = frame_.Width() * scaleX_.num / scaleX_.den;
        const std::int64_t height = frame_.Height() * scaleY_.num / scaleY_.den;
        CheckSize(width, height);
        size_ = {static_cast<int>(width), static_cast<int>(height)};
        CheckOverdraw();
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        out.Fill(255);  // QuickDraw's background
        std::int64_t done = 0;
        for (const Image& image : images_) Draw(image, out, progress, done);
    }

private:
    struct Ratio {
        std::int64_t num = 1, den = 1;
    };
    struct Span {
        std::int64_t begin = 0, end = 0;  // on the output, clipped
        std::int64_t origin = 0, length = 0;  // unclipped start and length
    };

    // Walks the opcodes to the end of the picture, keeping the images.
    void ReadOpcodes(ByteReader& r, const Start& start) {
        r.Seek(start.base + kFrameEnd + (start.version == 2 ? 4 : 2));
        for (;;) {
            std::uint16_t op;
            if (start.version == 2) {
                if ((r.Pos() - start.base) & 1) r.Skip(1);  // opcodes start on even offsets
                op = r.U16BE();
            } else {
                op = r.U8();
            }
            if (op == kOpEnd) return;
            if (op == 0x90 || op == 0x91 || op == 0x98 || op == 0x99 || op == 0x9A || op == 0x9B) {
                if (images_.size() == kMaxImages) Broken("too many images");
                images_.push_back(ReadImage(r, op));
            } else {
                compressed_ |= op == kOpCompressed;
                drawsVectors_ |= SkipOpcode(r, op);
            }
        }
    }

    // Where a destination range lands on the output, at the chosen resolution.
    static Span Place(int from, int to, int frameStart, Ratio scale, int limit) {
        Span s;
        s.origin = FloorDiv((std::int64_t{from} - frameStart) * scale.num, scale.den);
        s.length = FloorDiv((std::int64_t{to} - frameStart) * scale.num, scale.den) - s.origin;
        s.begin = std::max<std::int64_t>(0, s.origin);
        s.end = std::min<std::int64_t>(limit, s.origin + s.length);
        return s;
    }
    Span PlaceX(const Image& image) const {
        return Place(image.dst.left, image.dst.right, frame_.left, scaleX_, size_.width);
    }
    Span PlaceY(const Image& image) const {
        return Place(image.dst.top, image.dst.bottom, frame_.top, scaleY_, size_.height);
    }

    // Bounds the decode's work: images drawn over each other many times.
    void CheckOverdraw() {
        const std::int64_t area = std::int64_t{size_.width} * size_.height;
        std::int64_t drawn = 0;
        for (const Image& image : images_) {
            const Span x = PlaceX(image), y = PlaceY(image);
            if (x.end > x.begin && y.end > y.begin) {
                drawn += (x.end - x.begin) * (y.end - y.begin);
                totalRows_ += y.end - y.begin;
            }
        }
        if (drawn > kMaxOverdraw * area) Broken("images drawn over each other too often");
    }

    void Draw(const Image& image, Dib24& out, Progress& progress, std::int64_t& done) const {
        const Span x = PlaceX(image), y = PlaceY(image);
        if (x.end <= x.begin || y.end <= y.begin || image.src.Width() <= 0 || image.src.Height() <= 0) return;
        const std::int64_t width = image.bounds.Width(), height = image.bounds.Height();
        // For each output column, the image column it shows (or none).
        std::vector<std::int64_t> columns(static_cast<std::size_t>(x.end - x.begin));
        for (std::int64_t cx = x.begin; cx < x.end; ++cx) {
            const std::int64_t sx = image.src.left + (cx - x.origin) * image.src.Width() / x.length - image.bounds.left;
            columns[static_cast<std::size_t>(cx - x.begin)] = sx >= 0 && sx < width ? sx : -1;
        }
        ByteReader r(source_, image.dataPos);
        std::vector<std::uint8_t> row(image.unpackedBytes), rgb(static_cast<std::size_t>(width) * 3);
        std::int64_t rowsRead = 0;
        for (std::int64_t cy = y.begin; cy < y.end; ++cy) {
            progress.Report(++done * size_.height / totalRows_, size_.height);
            const std::int64_t sy = image.src.top + (cy - y.origin) * image.src.Height() / y.length - image.bounds.top;
            if (sy < 0 || sy >= height) continue;
            // Rows are read in order; the source row only ever moves down.
            if (rowsRead <= sy) {
                while (rowsRead <= sy) {
                    const auto stored = TakeRow(r, image);
                    if (rowsRead++ < sy) continue;
                    if (image.storage == Storage::Raw) {
                        std::memcpy(row.data(), stored.data(), stored.size());
                    } else {
                        std::fill(row.begin(), row.end(), 0);
                        UnpackBits(stored, row, image.storage == Storage::PackedWords ? 2 : 1);
                    }
                }
                ToRgb(image, row, rgb);
            }
            std::uint8_t* dst = out.Row(static_cast<int>(cy));
            for (std::int64_t cx = x.begin; cx < x.end; ++cx) {
                const std::int64_t sx = columns[static_cast<std::size_t>(cx - x.begin)];
                if (sx < 0) continue;
                const std::uint8_t* s = &rgb[static_cast<std::size_t>(sx) * 3];
                std::uint8_t* d = dst + 3 * cx;
                d[0] = s[2], d[1] = s[1], d[2] = s[0];
            }
        }
    }

    static void ToRgb(const Image& image, const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& rgb) {
        const std::size_t width = rgb.size() / 3;
        const std::uint8_t* s = row.data();
        std::uint8_t* d = rgb.data();
        switch (image.layout) {
        case Layout::Indexed: {
            const int size = image.pixelSize;
            const unsigned mask = (1u << size) - 1;
            for (std::size_t x = 0; x < width; ++x) {
                const std::size_t bit = x * size;
                const unsigned index = (s[bit / 8] >> (8 - size - bit % 8)) & mask;
                std::memcpy(d + 3 * x, image.palette[index].data(), 3);
            }
            break;
        }
        case Layout::Rgb555:
            for (std::size_t x = 0; x < width; ++x) {
                const unsigned v = s[2 * x] << 8 | s[2 * x + 1];
                for (int c = 0; c < 3; ++c) {
                    const unsigned five = (v >> (10 - 5 * c)) & 31;
                    d[3 * x + c] = static_cast<std::uint8_t>(five << 3 | five >> 2);
                }
            }
            break;
        case Layout::Xrgb:
            for (std::size_t x = 0; x < width; ++x) std::memcpy(d + 3 * x, s + 4 * x + 1, 3);
            break;
        case Layout::Rgb:
            std::memcpy(d, s, width * 3);
            break;
        case Layout::Planar: {
            // Planes of red, green and blue, after the alpha plane when there are four.
            const std::uint8_t* red = s + (image.components == 4 ? width : 0);
            for (std::size_t x = 0; x < width; ++x) {
                d[3 * x] = red[x], d[3 * x + 1] = red[width + x], d[3 * x + 2] = red[2 * width + x];
            }
            break;
        }
        }
    }

    const Source& source_;  // outlives the decoder
    Rect frame_;
    std::vector<Image> images_;
    Ratio scaleX_, scaleY_;
    PictureSize size_;
    std::int64_t totalRows_ = 0;
    bool drawsVectors_ = false, compressed_ = false;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<PictDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria PICT plug-in", "*.pict;*.pct", "QuickDraw pictures (pixel images)"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kFileHeader + kFrameEnd + 4, &Recognise, &Open};

}  // namespace vantoria::spi
