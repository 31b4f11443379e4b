#include "Source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "PluginError.h"
#include "platform/memory/MemoryBudget.h"
#include "platform/posix/RegularFile.h"

namespace vantoria::spi {

long long ReadFully(int fd, void* dst, std::size_t n, long long offset) {
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
}

Source Source::Open(const char* buf, std::intptr_t len, std::int32_t flag) {
    Source source;
    switch (flag & SUSIE_INPUT_MASK) {
    case SUSIE_INPUT_FILE: {
        if (buf == nullptr || len < 0) throw PluginError(SUSIE_ERR_FILE_READ, "no file");
        struct stat st {};
        source.fd_ = OpenRegularFile(buf, &st);
        if (!source.fd_)
            throw PluginError(SUSIE_ERR_FILE_READ, NotRegularFile(errno) ? "not a regular file" : "cannot open the file");
        auto fileSize = static_cast<std::uint64_t>(st.st_size);
        auto offset = static_cast<std::uint64_t>(len);
        if (offset > fileSize) throw PluginError(SUSIE_ERR_FILE_READ, "offset beyond the file");
        source.start_ = offset;
        source.size_ = fileSize - offset;
        return source;
    }
    case SUSIE_INPUT_MEMORY:
        if (len < 0 || (buf == nullptr && len != 0)) throw PluginError(SUSIE_ERR_MEMORY, "no buffer");
        source.memory_ = reinterpret_cast<const std::uint8_t*>(buf);
        source.size_ = static_cast<std::uint64_t>(len);
        return source;
    default:
        throw PluginError(SUSIE_ERR_NOT_IMPLEMENTED, "unknown input kind");
    }
}

std::size_t Source::ReadAt(std::uint64_t pos, void* dst, std::size_t n) const {
    if (pos >= size_) return 0;
    if (n > size_ - pos) n = static_cast<std::size_t>(size_ - pos);
    if (memory_ != nullptr) {
        std::memcpy(dst, memory_ + pos, n);
        return n;
    }
    long long got = ReadFully(fd_.Get(), dst, n, static_cast<long long>(start_ + pos));
    if (got < 0) throw PluginError(SUSIE_ERR_FILE_READ, "read error");
    return static_cast<std::size_t>(got);
}

Bytes Source::ReadAll(std::uint64_t most) const {
    const std::uint64_t wanted = std::min(size_, most);
    if (wanted > std::numeric_limits<std::size_t>::max() / 2)
        throw PluginError(SUSIE_ERR_NO_MEMORY, "input too large");
    auto n = static_cast<std::size_t>(wanted);
    if (memory_ != nullptr) return Bytes{nullptr, {memory_, n}};
    // A file padded to gigabytes must not take the machine's memory; the
    // picture made from it needs the rest.
    if (const auto room = imaging::AvailableMemory(); room && wanted > *room / imaging::kPictureShare)
        throw PluginError(SUSIE_ERR_NO_MEMORY, "the file is larger than the memory available for it");
    Bytes bytes;
    bytes.owned = std::make_unique_for_overwrite<std::uint8_t[]>(n);
    // A file that shrank since it was opened simply yields fewer bytes.
    std::size_t got = ReadAt(0, bytes.owned.get(), n);
    bytes.view = {bytes.owned.get(), got};
    return bytes;
}

}  // namespace vantoria::spi
