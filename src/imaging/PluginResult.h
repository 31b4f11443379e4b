#pragma once
// What a plug-in's failing result code means, in the words of the detail a
// person reads after "the image plug-in failed to decode FILE".

#include <cstdint>
#include <string>

#include "susie.h"

namespace vantoria::imaging {

// Empty for codes that say nothing more than that the call failed.
inline std::string PluginResultReason(std::int32_t code) {
    switch (code) {
    case SUSIE_ERR_NO_MEMORY:
        return "the picture is too large for the memory it may take";
    case SUSIE_ERR_BROKEN_DATA:
        return "the file is damaged";
    case SUSIE_ERR_UNKNOWN_FORMAT:
        return "the plug-in does not read this kind of picture";
    case SUSIE_ERR_FILE_READ:
        return "the file cannot be read";
    default:
        return {};
    }
}

// ": reason", or nothing.
inline std::string WithPluginReason(std::int32_t code) {
    const std::string reason = PluginResultReason(code);
    return reason.empty() ? reason : ": " + reason;
}

}  // namespace vantoria::imaging
