#pragma once
// The caller's progress callback, asked now and then during a decode. A
// non-zero answer stops the decode with SUSIE_ERR_CANCELLED.

#include <cstdint>

#include "PluginError.h"
#include "susie.h"

namespace vantoria::spi {

class Progress {
public:
    Progress(SusieProgressCallback callback, std::int32_t lData) : callback_(callback), lData_(lData) {}

    // Reports `done` of `total` units; calls the callback at the ends and
    // about every hundredth of the way between. Throws PluginError.
    void Report(std::int64_t done, std::int64_t total) {
        if (callback_ == nullptr || total <= 0) return;
        if (done == last_ || (done != 0 && done < total && done < next_)) return;
        last_ = done;
        next_ = done + (total + 99) / 100;
        if (callback_(static_cast<std::int32_t>(done), static_cast<std::int32_t>(total), lData_) != 0)
            throw PluginError(SUSIE_ERR_CANCELLED, "cancelled");
    }

private:
    SusieProgressCallback callback_;
    std::int32_t lData_;
    std::int64_t next_ = 0;
    std::int64_t last_ = -1;
};

}  // namespace vantoria::spi
