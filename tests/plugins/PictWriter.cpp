#include "RetroWriters.h"

namespace vantoria::spi::test {

PictWriter::PictWriter(PictRect frame, bool fileHeader, int version) : version_(version) {
    if (fileHeader) out.bytes.assign(512, 0);
    start_ = out.bytes.size();
    out.U16BE(0);  // the size, set by Finish
    Rect(frame);
    if (version == 1) {
        out.U8(0x11), out.U8(0x01);
        return;
    }
    out.U16BE(0x0011), out.U16BE(0x02FF);
    Op(0x0C00);  // the extended header: 72 dpi, the frame
    out.U16BE(0xFFFE), out.U16BE(0), out.U32BE(0x00480000), out.U32BE(0x00480000);
    Rect(frame);
    out.U32BE(0);
}

void PictWriter::Align() {
    if (version_ == 2 && (out.bytes.size() - start_) % 2 != 0) out.U8(0);
}

void PictWriter::Op(unsigned op) {
    Align();
    if (version_ == 2) out.U16BE(op); else out.U8(op);
}

void PictWriter::Rect(PictRect r) { out.U16BE(r.top), out.U16BE(r.left), out.U16BE(r.bottom), out.U16BE(r.right); }

void PictWriter::Rows(const std::vector<std::vector<std::uint8_t>>& rows, int rowBytes, bool packed, std::size_t unit) {
    for (const auto& row : rows) {
        if (!packed) {
            out.Append(row);
            continue;
        }
        const auto data = PackBits(row, unit);
        if (rowBytes > 250) out.U16BE(static_cast<unsigned>(data.size())); else out.U8(static_cast<unsigned>(data.size()));
        out.Append(data);
    }
}

namespace {

void PixMapFields(ByteWriter& out, int packType, int pixelType, int pixelSize, int components, int componentSize) {
    out.U16BE(0), out.U16BE(packType), out.U32BE(0), out.U32BE(0x00480000), out.U32BE(0x00480000);
    out.U16BE(pixelType), out.U16BE(pixelSize), out.U16BE(components), out.U16BE(componentSize);
    out.U32BE(0), out.U32BE(0), out.U32BE(0);
}

}  // namespace

void PictWriter::Indexed(unsigned op, const TestPicture& picture, int pixelSize, PictRect src, PictRect dst, bool bitmap) {
    const int rowBytes = ((picture.width * pixelSize + 7) / 8 + 1) & ~1;
    Op(op);
    out.U16BE(bitmap ? rowBytes : 0x8000 | rowBytes);
    Rect({0, 0, picture.height, picture.width});
    if (!bitmap) {
        PixMapFields(out, 0, 0, pixelSize, 1, pixelSize);
        // The colour table, its entries in reverse: each names its index.
        out.U32BE(0), out.U16BE(0), out.U16BE(static_cast<unsigned>(picture.palette.size() - 1));
        for (std::size_t i = picture.palette.size(); i-- > 0;) {
            out.U16BE(static_cast<unsigned>(i));
            for (std::uint8_t c : picture.palette[i]) out.U16BE(c * 257u);
        }
    }
    Rect(src), Rect(dst), out.U16BE(0);
    if (op & 1) out.U16BE(10), Rect(dst);
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
        for (int x = 0; x < picture.width; ++x) {
            const int bit = x * pixelSize;
            row[bit / 8] |= static_cast<std::uint8_t>(picture.At(x, y) << (8 - pixelSize - bit % 8));
        }
        rows.push_back(row);
    }
    Rows(rows, rowBytes, op >= 0x98 && rowBytes >= 8, 1);
}

void PictWriter::Direct(unsigned op, const TestPicture& picture, int pixelSize, int packType, int components,
                        PictRect src, PictRect dst) {
    const int rowBytes = pixelSize == 16 ? (picture.width * 2 + 3) & ~3 : picture.width * 4;
    Op(op);
    out.U32BE(0xFF);
    out.U16BE(0x8000 | rowBytes);
    Rect({0, 0, picture.height, picture.width});
    PixMapFields(out, packType, 16, pixelSize, components, pixelSize == 16 ? 5 : 8);
    Rect(src), Rect(dst), out.U16BE(0x40);
    if (op & 1) out.U16BE(10), Rect(dst);
    std::vector<std::vector<std::uint8_t>> rows;
    const bool packed = rowBytes >= 8 && packType != 1 && packType != 2;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t c = picture.At(x, y);
            if (pixelSize == 16) {
                const unsigned v = (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31);
                row.push_back(static_cast<std::uint8_t>(v >> 8)), row.push_back(static_cast<std::uint8_t>(v));
            } else if (!packed && packType != 2) {
                row.push_back(0), row.push_back(c >> 16), row.push_back(c >> 8), row.push_back(c);
            } else if (packType == 2) {
                row.push_back(c >> 16), row.push_back(c >> 8), row.push_back(c);
            }
        }
        if (pixelSize == 16) row.resize(static_cast<std::size_t>(rowBytes));
        if (pixelSize == 32 && packed) {
            if (components == 4) row.assign(static_cast<std::size_t>(picture.width), 0xFF);
            for (int shift : {16, 8, 0})
                for (int x = 0; x < picture.width; ++x) row.push_back(static_cast<std::uint8_t>(picture.At(x, y) >> shift));
        }
        rows.push_back(row);
    }
    Rows(rows, rowBytes, packed, pixelSize == 16 ? 2 : 1);
}

std::vector<std::uint8_t> PictWriter::Finish() {
    Op(0x00FF);
    const std::size_t size = out.bytes.size() - start_;
    out.bytes[start_] = static_cast<std::uint8_t>(size >> 8);
    out.bytes[start_ + 1] = static_cast<std::uint8_t>(size);
    return out.bytes;
}

}  // namespace vantoria::spi::test
