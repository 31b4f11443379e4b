#include "imaging/FileBytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/dib/DibError.h"
#include "platform/posix/ReadAt.h"
#include "platform/posix/RegularFile.h"

namespace vantoria::imaging {

namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) {
    throw dib::DibError(std::string("cannot ") + what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t count,
                                        bool wholeFile) {
    const UniqueFd fd = OpenRegularFile(path.c_str());
    if (!fd) throw dib::DibError(OpenFailure(path));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) Fail("read", path);
    const auto fileSize = static_cast<std::size_t>(st.st_size);
    if (wholeFile && fileSize > count) {
        throw dib::DibError("cannot read " + path + ": the file is too large (" +
                            std::to_string(fileSize) + " bytes)");
    }
    std::vector<std::uint8_t> bytes(std::min(fileSize, count));
    // Fewer when the file shrank meanwhile.
    const std::optional<std::size_t> done = ReadAt(fd.Get(), bytes.data(), bytes.size(), 0);
    if (!done) Fail("read", path);
    bytes.resize(*done);
    return bytes;
}

}  // namespace vantoria::imaging
