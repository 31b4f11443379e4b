#include "imaging/FileBytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/dib/DibError.h"
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
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd.Get(), bytes.data() + done, bytes.size() - done,
                                  static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("read", path);
        if (n == 0) break;   // the file shrank meanwhile
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace vantoria::imaging
