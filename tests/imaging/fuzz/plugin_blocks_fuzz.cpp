// libFuzzer target: the host's conversion of the blocks a plug-in hands
// over (see PluginBlocksInput.h for the input layout).
#include "imaging/fuzz/PluginBlocksInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imagingfuzz::ConvertInput(data, size);
    return 0;
}
