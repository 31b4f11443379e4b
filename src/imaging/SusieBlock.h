#pragma once
// A memory block a plug-in handed over, owned: freed with susie_block_free
// when the owner goes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "susie.h"

namespace vantoria::imaging {

class SusieBlock {
public:
    SusieBlock() = default;
    explicit SusieBlock(SusieHandle handle) : handle_(handle) {}

    SusieHandle Get() const { return handle_.get(); }
    SusieHandle Release() { return handle_.release(); }
    void Reset() { handle_.reset(); }

    // True for a live block of the plug-in interface (one that carries its
    // size). A pointer from any other allocator cannot be told apart
    // reliably; the interface forbids handing one over.
    bool Valid() const { return susie_block_valid(handle_.get()) != 0; }
    // The block's bytes; empty for a null or invalid handle.
    std::span<const std::uint8_t> Bytes() const {
        return {static_cast<const std::uint8_t*>(susie_block_data(handle_.get())),
                susie_block_size(handle_.get())};
    }

private:
    struct Free {
        void operator()(void* handle) const { susie_block_free(handle); }
    };
    std::unique_ptr<void, Free> handle_;
};

}  // namespace vantoria::imaging
