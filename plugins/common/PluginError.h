#pragma once
// The one error type inside our plug-ins. It carries the result code the entry
// point returns; Guarded() turns it (and any other exception) into that code,
// so no exception ever crosses the C interface.

#include <cstdint>
#include <new>
#include <stdexcept>

#include "susie.h"

namespace vantoria::spi {

class PluginError : public std::runtime_error {
public:
    PluginError(std::int32_t code, const char* what) : std::runtime_error(what), code_(code) {}
    std::int32_t Code() const { return code_; }

private:
    std::int32_t code_;
};

// Damaged data found by a plug-in that parses its format itself.
[[noreturn]] inline void Broken(const char* why) { throw PluginError(SUSIE_ERR_BROKEN_DATA, why); }

// Runs `body` and answers SUSIE_OK, or the code of what it threw.
template <class Body>
std::int32_t Guarded(Body&& body) noexcept {
    try {
        body();
        return SUSIE_OK;
    } catch (const PluginError& e) {
        return e.Code();
    } catch (const std::bad_alloc&) {
        return SUSIE_ERR_NO_MEMORY;
    } catch (...) {
        return SUSIE_ERR_INTERNAL;
    }
}

}  // namespace vantoria::spi
