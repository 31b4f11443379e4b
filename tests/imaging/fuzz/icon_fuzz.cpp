// libFuzzer target: the icon reader on a whole file in memory.
#include <cstddef>
#include <cstdint>

#include "imaging/IconFile.h"
#include "platform/dib/DibError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vantoria::dib::Limits limits{2048, std::int64_t{1} << 20};
    try {
        (void)vantoria::imaging::DecodeIcon({data, size}, limits);
    } catch (const vantoria::dib::DibError&) {
    }
    return 0;
}
