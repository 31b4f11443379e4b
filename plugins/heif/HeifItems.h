#pragma once
// What a HEIF file's meta box says of its items, read by us before libheif
// decodes: each item's type, size property, where its data lies and which
// items it is made of. libheif 1.15 takes a derived picture's canvas size
// (grid, overlay) from the item's own data and holds it only to a limit per
// side, so the canvas is checked here against the rest (CheckCanvases).
// Every length and offset is taken from the file and checked against it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Source.h"

namespace vantoria::spi {

struct ItemSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct HeifItem {
    std::string type;  // four characters; empty when the entry names none
    std::optional<ItemSize> ispe;
    bool located = false;
    int construction = 0;  // 0: file offsets, 1: within the idat box
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // offset, length (0: to the end)
    std::vector<std::uint32_t> parts;      // 'dimg': tiles or layers, in order
    std::vector<std::uint32_t> auxiliary;  // items that are 'auxl' of this one (alpha, depth)
};

class HeifItems {
public:
    // Reads the file's first top-level meta box. Throws
    // PluginError(SUSIE_ERR_BROKEN_DATA) when it is missing or damaged.
    static HeifItems Read(const Source& source);

    std::uint32_t Primary() const { return primary_; }
    // nullptr for an item the file does not describe.
    const HeifItem* Find(std::uint32_t id) const;
    // The first `most` bytes of an item's data (fewer when it holds fewer).
    std::vector<std::uint8_t> Data(const HeifItem& item, std::size_t most) const;

private:
    explicit HeifItems(const Source& source) : source_(&source) {}

    const Source* source_;
    std::uint32_t primary_ = 0;
    std::map<std::uint32_t, HeifItem> items_;
    std::uint64_t idatStart_ = 0, idatSize_ = 0;
    bool idat_ = false;

    friend class MetaParser;
};

// Throws PluginError unless every picture libheif decodes for the primary
// item states what it is: a grid's or overlay's canvas equal to its size
// property, every size within the plug-ins' limits (SUSIE_ERR_NO_MEMORY
// beyond them), and the tiles or layers of one canvas holding no more
// pixels in all than a picture may. Answers the most pixels any one item
// decoded for it holds, for the working-memory estimate.
std::int64_t CheckCanvases(const HeifItems& items);

}  // namespace vantoria::spi
