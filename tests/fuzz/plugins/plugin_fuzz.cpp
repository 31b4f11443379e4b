// libFuzzer target for one plug-in, linked in, through the entry points the
// host calls: IsSupported on a descriptor of the input, then GetPictureInfo
// and, when the picture is small enough to be quick, GetPicture, reading it
// from memory and, as the host does, from a file by name (an in-memory file);
// the two must agree. Anything but a result code, with consistent blocks on
// success and none on failure, is a bug.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sanitizer/common_interface_defs.h>

#include "susie.h"

namespace {

// Larger pictures are legal, but decoding them only costs time.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 20;

struct Decoded {
    std::int32_t code = SUSIE_ERR_INTERNAL;
    SusieHandle info = nullptr;
    SusieHandle bits = nullptr;
    ~Decoded() {
        susie_block_free(info);
        susie_block_free(bits);
    }
};

// Checks the blocks against the size GetPictureInfo gave.
void Check(const Decoded& d, std::int64_t width, std::int64_t height) {
    if (d.code != SUSIE_OK) {
        if (d.info != nullptr || d.bits != nullptr) std::abort();
        return;
    }
    SusieBitmapInfoHeader header;
    if (susie_block_size(d.info) < sizeof header) std::abort();
    std::memcpy(&header, susie_block_data(d.info), sizeof header);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (header.biWidth != width || header.biHeight != height || susie_block_size(d.bits) < stride * height)
        std::abort();
}

// Whether two answers for the same bytes agree. A refusal for want of memory
// depends on what the machine has free at the moment, not on the bytes.
bool Agree(std::int32_t a, std::int32_t b) { return a == b || a == SUSIE_ERR_NO_MEMORY || b == SUSIE_ERR_NO_MEMORY; }

// The input as a file: an in-memory file, named by its /proc path.
const std::string& AsFile(const std::uint8_t* data, std::size_t size, int& fd) {
    static const int file = memfd_create("plugin_fuzz", 0);
    static const std::string name = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ftruncate(file, 0) != 0 ||
        (size > 0 && pwrite(file, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();
    fd = file;
    return name;
}

}  // namespace

// Small leaks inside the format libraries on damaged files, found by these
// targets (the files are kept in the corpora): libheif's AV1 decoder (1.15)
// loses dav1d's copy of coded data dav1d refuses (80 bytes), libXpm's colour
// parser a colour name (1 to 20 bytes), libmng a truncated JNG's row
// buffers (288 bytes). Not ours to mend, and not worth a failing replay;
// named narrowly, so that a leak of ours still shows.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\nleak:xpmParseColors\nleak:mng_init_rowproc\n";
}

// A plug-in may stand a pipe in for stderr while it decodes (to drop a
// library's chatter): the sanitizers report to the real one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(::dup(STDERR_FILENO))));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd = -1;
    const std::string& name = AsFile(data, size, fd);
    const std::int32_t supported = IsSupported(name.c_str(), fd);
    if (supported != 0 && supported != 1) std::abort();

    const char* buf = reinterpret_cast<const char*>(data);
    const auto len = static_cast<std::intptr_t>(size);
    SusiePictureInfo info{};
    const std::int32_t infoCode = GetPictureInfo(buf, len, SUSIE_INPUT_MEMORY, &info);
    SusiePictureInfo fileInfo{};
    const std::int32_t fileInfoCode = GetPictureInfo(name.c_str(), 0, SUSIE_INPUT_FILE, &fileInfo);
    if (!Agree(fileInfoCode, infoCode)) std::abort();
    if (infoCode != SUSIE_OK || fileInfoCode != SUSIE_OK) return 0;
    const std::int64_t width = info.width, height = info.height;
    if (width <= 0 || height <= 0 || fileInfo.width != width || fileInfo.height != height) std::abort();
    if (width * height > kMaxFuzzPixels) return 0;

    Decoded memory;
    memory.code = GetPicture(buf, len, SUSIE_INPUT_MEMORY, &memory.info, &memory.bits, nullptr, 0);
    Check(memory, width, height);
    Decoded file;
    file.code = GetPicture(name.c_str(), 0, SUSIE_INPUT_FILE, &file.info, &file.bits, nullptr, 0);
    Check(file, width, height);
    if (!Agree(file.code, memory.code)) std::abort();
    if (memory.code == SUSIE_OK && file.code == SUSIE_OK &&
        std::memcmp(susie_block_data(memory.bits), susie_block_data(file.bits),
                    ((static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}) * height) != 0)
        std::abort();
    return 0;
}
