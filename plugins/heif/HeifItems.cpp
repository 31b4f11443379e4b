#include "HeifItems.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <span>

#include "ByteReader.h"
#include "Limits.h"
#include "PluginError.h"

namespace vantoria::spi {

namespace {

// Items, extents and references held at most: a grid of 256 x 256 tiles
// needs about 200 000; a meta box of gigabytes must not be held whole.
constexpr std::size_t kMaxEntries = std::size_t{1} << 19;
// Grids of grids are legal; libheif follows references this deep at most
// before the time limit would.
constexpr int kMaxDepth = 8;

struct Box {
    std::string type;
    std::uint64_t body = 0;
    std::uint64_t end = 0;
};

std::uint64_t U64(ByteReader& in) {
    const std::uint64_t high = in.U32BE();
    return high << 32 | in.U32BE();
}

// A field of 0, 4 or 8 bytes, as the location box sizes its fields.
std::uint64_t Field(ByteReader& in, unsigned size) {
    switch (size) {
    case 0: return 0;
    case 4: return in.U32BE();
    case 8: return U64(in);
    default: Broken("an item location field has an impossible size");
    }
}

using Span = std::span<const std::uint8_t>;

// The box whose header `in` is at, which must end by `end`.
Box BoxAt(ByteReader& in, std::uint64_t end) {
    const std::uint64_t at = in.Pos();
    if (end - at < 8) Broken("a box header reaches past its container");
    std::uint64_t size = in.U32BE();
    const auto type = in.Take(4);
    Box box{std::string(type.begin(), type.end()), 0, 0};
    if (size == 1)
        size = U64(in);
    else if (size == 0)
        size = end - at;
    box.body = in.Pos();
    if (size < box.body - at || size > end - at) Broken("a box reaches past its container");
    box.end = at + size;
    return box;
}

// Each box directly inside [from, end) of `bytes`, in order, while `visit`
// answers true.
template <class Visit>
void EachBox(Span bytes, std::uint64_t from, std::uint64_t end, Visit&& visit) {
    for (std::uint64_t at = from; at < end;) {
        ByteReader in(bytes.first(static_cast<std::size_t>(end)), at);
        const Box box = BoxAt(in, end);
        if (!visit(box)) return;
        at = box.end;
    }
}

// A reader of one box's body.
ByteReader Body(Span bytes, const Box& box) {
    return ByteReader(bytes.first(static_cast<std::size_t>(box.end)), box.body);
}

// The meta box is read whole, as libheif reads it; one this large holds
// more than any picture's description.
constexpr std::uint64_t kMaxMetaBytes = std::uint64_t{64} << 20;

}  // namespace

// Fills a HeifItems from the boxes of its meta box.
class MetaParser {
public:
    // `meta`: the whole meta box, which starts at `at` in the file.
    MetaParser(HeifItems& items, Span meta, std::uint64_t at) : items_(items), bytes_(meta), at_(at) {}

    void Meta() {
        ByteReader header(bytes_);
        const Box meta = BoxAt(header, bytes_.size());
        bool primary = false;
        EachBox(bytes_, meta.body + 4, meta.end, [&](const Box& box) {  // after version and flags
            if (box.type == "pitm" && !primary) {  // libheif, too, takes the first
                ByteReader in = Body(bytes_, box);
                const bool wide = in.U8() != 0;
                in.Skip(3);
                items_.primary_ = wide ? in.U32BE() : in.U16BE();
                primary = true;
            } else if (box.type == "iinf") {
                Iinf(box);
            } else if (box.type == "iloc") {
                Iloc(box);
            } else if (box.type == "iref") {
                Iref(box);
            } else if (box.type == "iprp") {
                Iprp(box);
            } else if (box.type == "idat" && !items_.idat_) {
                items_.idat_ = true;
                items_.idatStart_ = at_ + box.body;
                items_.idatSize_ = box.end - box.body;
            }
            return true;
        });
        if (!primary) Broken("the file names no primary picture");
    }

private:
    HeifItem& Item(std::uint32_t id) {
        auto found = items_.items_.find(id);
        if (found != items_.items_.end()) return found->second;
        Count();
        return items_.items_[id];
    }
    void Count() {
        if (++entries_ > kMaxEntries) throw PluginError(SUSIE_ERR_NO_MEMORY, "the file describes too many items");
    }

    void Iinf(const Box& iinf) {
        ByteReader in = Body(bytes_, iinf);
        const bool wide = in.U8() != 0;
        in.Skip(3);
        in.Skip(wide ? 4 : 2);  // the entry count: the boxes that follow are what counts
        EachBox(bytes_, in.Pos(), iinf.end, [&](const Box& box) {
            if (box.type != "infe") return true;
            ByteReader entry = Body(bytes_, box);
            const unsigned version = entry.U8();
            entry.Skip(3);
            if (version < 2) return true;  // no item type in these
            const std::uint32_t id = version == 2 ? entry.U16BE() : entry.U32BE();
            entry.Skip(2);  // protection index
            const auto type = entry.Take(4);
            HeifItem& item = Item(id);
            if (!item.type.empty()) Broken("two entries describe one item");
            item.type.assign(type.begin(), type.end());
            return true;
        });
    }

    void Iloc(const Box& iloc) {
        ByteReader in = Body(bytes_, iloc);
        const unsigned version = in.U8();
        in.Skip(3);
        if (version > 2) Broken("unknown item location version");
        const unsigned sizes = in.U16BE();
        const unsigned offsetSize = sizes >> 12, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15;
        const unsigned indexSize = version >= 1 ? sizes & 15 : 0;
        const std::uint32_t count = version < 2 ? in.U16BE() : in.U32BE();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t id = version < 2 ? in.U16BE() : in.U32BE();
            HeifItem& item = Item(id);
            if (item.located) Broken("two locations for one item");
            item.located = true;
            item.construction = version >= 1 ? in.U16BE() & 15 : 0;
            in.Skip(2);  // data reference
            const std::uint64_t base = Field(in, baseSize);
            const unsigned extents = in.U16BE();
            for (unsigned e = 0; e < extents; ++e) {
                Field(in, indexSize);
                const std::uint64_t offset = Field(in, offsetSize);
                const std::uint64_t length = Field(in, lengthSize);
                if (offset > UINT64_MAX - base) Broken("an item's data lies past any file");
                Count();
                item.extents.emplace_back(base + offset, length);
            }
        }
    }

    void Iref(const Box& iref) {
        ByteReader in = Body(bytes_, iref);
        const bool wide = in.U8() != 0;
        in.Skip(3);
        EachBox(bytes_, in.Pos(), iref.end, [&](const Box& box) {
            if (box.type != "dimg" && box.type != "auxl") return true;
            ByteReader refs = Body(bytes_, box);
            const auto id = [&] { return wide ? refs.U32BE() : refs.U16BE(); };
            const std::uint32_t from = id();
            const unsigned count = refs.U16BE();
            std::vector<std::uint32_t> to;
            for (unsigned i = 0; i < count; ++i) {
                Count();
                to.push_back(id());
            }
            if (box.type == "auxl") {
                for (std::uint32_t target : to) Item(target).auxiliary.push_back(from);
            } else if (HeifItem& item = Item(from); item.parts.empty()) {
                item.parts = std::move(to);  // libheif takes the first such box
            }
            return true;
        });
    }

    void Iprp(const Box& iprp) {
        std::vector<std::optional<ItemSize>> properties;  // numbered from 1
        bool listed = false;
        EachBox(bytes_, iprp.body, iprp.end, [&](const Box& box) {
            if (box.type == "ipco" && !listed) {
                listed = true;
                EachBox(bytes_, box.body, box.end, [&](const Box& property) {
                    Count();
                    properties.emplace_back();
                    if (property.type == "ispe") {
                        ByteReader in = Body(bytes_, property);
                        in.Skip(4);
                        const std::int64_t width = in.U32BE();
                        properties.back() = ItemSize{width, in.U32BE()};
                    }
                    return true;
                });
            } else if (box.type == "ipma") {
                ByteReader in = Body(bytes_, box);
                const unsigned version = in.U8();
                in.Skip(2);
                const bool wideIndex = (in.U8() & 1) != 0;
                const std::uint32_t count = in.U32BE();
                for (std::uint32_t i = 0; i < count; ++i) {
                    const std::uint32_t id = version < 1 ? in.U16BE() : in.U32BE();
                    const unsigned associations = in.U8();
                    for (unsigned a = 0; a < associations; ++a) {
                        const std::size_t index = wideIndex ? in.U16BE() & 0x7FFF : in.U8() & 0x7F;
                        if (index == 0 || index > properties.size() || !properties[index - 1]) continue;
                        if (HeifItem& item = Item(id); !item.ispe) item.ispe = properties[index - 1];
                    }
                }
            }
            return true;
        });
    }

    HeifItems& items_;
    Span bytes_;
    std::uint64_t at_;
    std::size_t entries_ = 0;
};

HeifItems HeifItems::Read(const Source& source) {
    // The top-level boxes' headers only, to the end: the media data may be
    // gigabytes. libheif takes the last meta box, the format allows one: a
    // second could hide what the first says.
    const std::uint64_t end = source.Size();
    std::optional<std::pair<std::uint64_t, std::uint64_t>> meta;  // where, how long
    for (std::uint64_t at = 0; at < end;) {
        if (end - at < 8) Broken("a box header reaches past the end of the file");
        std::uint8_t header[16];
        const std::size_t got =
            source.ReadAt(at, header, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof header, end - at)));
        ByteReader in(Span(header, got));
        std::uint64_t size = in.U32BE();
        const bool isMeta = std::memcmp(in.Take(4).data(), "meta", 4) == 0;
        if (size == 1)
            size = U64(in);
        else if (size == 0)
            size = end - at;
        if (size < in.Pos() || size > end - at) Broken("a box reaches past the end of the file");
        if (isMeta && meta) Broken("the file has two meta boxes");
        if (isMeta) meta.emplace(at, size);
        at += size;
    }
    if (!meta) Broken("the file has no meta box");
    const auto [start, size] = *meta;
    if (size > kMaxMetaBytes) throw PluginError(SUSIE_ERR_NO_MEMORY, "the file's description is too large");
    const auto n = static_cast<std::size_t>(size);
    std::vector<std::uint8_t> owned;
    Span bytes = source.Memory();
    if (bytes.data() != nullptr) {
        bytes = bytes.subspan(static_cast<std::size_t>(start), n);
    } else {
        owned.resize(n);
        if (source.ReadAt(start, owned.data(), n) != n) EndsEarly();
        bytes = owned;
    }
    HeifItems items(source);
    MetaParser(items, bytes, start).Meta();
    return items;
}

const HeifItem* HeifItems::Find(std::uint32_t id) const {
    const auto found = items_.find(id);
    return found == items_.end() ? nullptr : &found->second;
}

std::vector<std::uint8_t> HeifItems::Data(const HeifItem& item, std::size_t most) const {
    if (item.construction > 1) Broken("an item's data is made in a way this plug-in does not read");
    if (item.construction == 1 && !idat_) Broken("an item's data lies in a box the file lacks");
    const std::uint64_t start = item.construction == 1 ? idatStart_ : 0;
    const std::uint64_t size = item.construction == 1 ? idatSize_ : source_->Size();
    std::vector<std::uint8_t> data;
    for (const auto& [offset, length] : item.extents) {
        if (data.size() >= most) break;
        if (offset > size) Broken("an item's data lies past the end of the file");
        const std::uint64_t left = size - offset;
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(length == 0 ? left : std::min(length, left),
                                                             most - data.size()));
        const std::size_t at = data.size();
        data.resize(at + take);
        data.resize(at + source_->ReadAt(start + offset, data.data() + at, take));
    }
    return data;
}

namespace {

std::uint64_t Be(const std::vector<std::uint8_t>& data, std::size_t at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | data.at(at + i);
    return value;
}

// The canvas of a grid or overlay as libheif reads it, and the count of
// tiles a grid is made of (0 for an overlay: as many layers as it names).
struct Canvas {
    std::int64_t width = 0, height = 0;
    std::size_t rows = 0, columns = 0;
};

Canvas ReadCanvas(const HeifItems& items, const HeifItem& item) {
    const bool grid = item.type == "grid";
    // Grid: version, flags, rows - 1, columns - 1; overlay: version, flags
    // and four fill samples. Then width and height, 32 bits each when the
    // flags' lowest bit is set, else 16.
    const std::size_t sizesAt = grid ? 4 : 10;
    const std::vector<std::uint8_t> data = items.Data(item, sizesAt + 8);
    if (data.size() < 2) Broken("a grid or overlay description is cut short");
    if (!grid && data[0] != 0) Broken("unknown overlay version");
    const std::size_t field = (data[1] & 1) != 0 ? 4 : 2;
    if (data.size() < sizesAt + 2 * field) Broken("a grid or overlay description is cut short");
    Canvas canvas{static_cast<std::int64_t>(Be(data, sizesAt, field)),
                  static_cast<std::int64_t>(Be(data, sizesAt + field, field)), 0, 0};
    if (grid) canvas.rows = std::size_t{data[2]} + 1, canvas.columns = std::size_t{data[3]} + 1;
    return canvas;
}

class CanvasWalk {
public:
    explicit CanvasWalk(const HeifItems& items) : items_(items) {}

    void Item(std::uint32_t id, int depth) {
        if (done_.count(id) != 0) return;
        if (depth > kMaxDepth || !onPath_.insert(id).second) Broken("the picture's items refer to each other in a loop, or nest too deep");
        if (const HeifItem* item = items_.Find(id)) {
            if (item->ispe) {
                CheckSize(item->ispe->width, item->ispe->height);
                largest_ = std::max(largest_, item->ispe->width * item->ispe->height);
            }
            if (item->type == "grid" || item->type == "iovl") CheckCanvas(*item);
            for (std::uint32_t part : item->parts) Item(part, depth + 1);
            for (std::uint32_t aux : item->auxiliary) Item(aux, depth + 1);
        }
        onPath_.erase(id);
        done_.insert(id);
    }

    std::int64_t Largest() const { return largest_; }

private:
    // The size property of a tile or layer, which libheif lays out by.
    ItemSize PartSize(std::uint32_t id) const {
        const HeifItem* part = items_.Find(id);
        if (part == nullptr || !part->ispe) Broken("a part of a grid or overlay states no size");
        CheckSize(part->ispe->width, part->ispe->height);
        return *part->ispe;
    }

    void CheckCanvas(const HeifItem& item) {
        if (!item.ispe) Broken("a grid or overlay states no size");
        const Canvas canvas = ReadCanvas(items_, item);
        if (canvas.width != item.ispe->width || canvas.height != item.ispe->height)
            Broken("a grid or overlay states a canvas other than its size");
        if (canvas.rows != 0 && item.parts.size() != canvas.rows * canvas.columns)
            Broken("a grid names other than its count of tiles");
        // Every part is decoded whole: together they may hold no more than a
        // picture may, and a grid's tiles (laid side by side from their own
        // sizes, as libheif lays them) each start on the canvas.
        std::int64_t pixels = 0, y = 0;
        for (std::size_t i = 0, x = 0, rowHeight = 0; i < item.parts.size(); ++i) {
            const ItemSize size = PartSize(item.parts[i]);
            pixels += size.width * size.height;
            if (pixels > kMaxPixels) throw PluginError(SUSIE_ERR_NO_MEMORY, "the parts of the picture are too large");
            if (canvas.rows == 0) continue;
            if (static_cast<std::int64_t>(x) >= canvas.width || y >= canvas.height)
                Broken("a grid tile lies outside its canvas");
            x += static_cast<std::size_t>(size.width), rowHeight = static_cast<std::size_t>(size.height);
            if ((i + 1) % canvas.columns == 0) y += static_cast<std::int64_t>(rowHeight), x = 0;
        }
    }

    const HeifItems& items_;
    std::set<std::uint32_t> onPath_, done_;
    std::int64_t largest_ = 0;
};

}  // namespace

std::int64_t CheckCanvases(const HeifItems& items) {
    if (items.Find(items.Primary()) == nullptr) Broken("the primary picture is not described");
    CanvasWalk walk(items);
    walk.Item(items.Primary(), 0);
    return walk.Largest();
}

}  // namespace vantoria::spi
