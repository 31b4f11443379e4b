// Bitmap::SaveToFile: the uncompressed 24-bit Windows bitmap writer.

#include "platform/raster/Bitmap.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace vantoria::raster {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;

[[noreturn]] void Fail(const std::string& path, int err) {
    throw RasterError("cannot write " + path + ": " + std::generic_category().message(err));
}

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// BITMAPFILEHEADER and a BITMAPINFOHEADER for bottom-up 24-bit BI_RGB rows.
std::array<std::uint8_t, kHeaderBytes> Header(int width, int height, std::uint32_t imageBytes) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    h[0] = 'B';
    h[1] = 'M';
    Put32(&h[2], static_cast<std::uint32_t>(kHeaderBytes) + imageBytes);  // bfSize
    Put32(&h[10], kHeaderBytes);                                          // bfOffBits
    std::uint8_t* i = &h[kFileHeaderBytes];
    Put32(i, kInfoHeaderBytes);                          // biSize
    Put32(i + 4, static_cast<std::uint32_t>(width));     // biWidth
    Put32(i + 8, static_cast<std::uint32_t>(height));    // biHeight > 0: bottom-up
    Put16(i + 12, 1);                                    // biPlanes
    Put16(i + 14, 24);                                   // biBitCount
    Put32(i + 16, 0);                                    // biCompression = BI_RGB
    Put32(i + 20, imageBytes);                           // biSizeImage
    return h;                                            // resolution, colours: 0
}

// Writes every byte the pieces describe, resuming after short writes.
// Returns 0 or the errno of the failure.
int WriteAll(int fd, std::vector<iovec>& pieces) {
    std::size_t next = 0;
    while (next < pieces.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
        const ssize_t n = ::writev(fd, &pieces[next], count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        auto left = static_cast<std::size_t>(n);
        while (next < pieces.size() && left >= pieces[next].iov_len) left -= pieces[next++].iov_len;
        if (left > 0) {
            pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + left;
            pieces[next].iov_len -= left;
        }
    }
    return 0;
}

// A temporary file beside the target that is removed unless Commit renames
// it over the target: a failed write never touches the file already there.
class TempFile {
public:
    explicit TempFile(const std::string& target) : target_(target) {
        static std::atomic<unsigned> counter{0};
        const std::size_t slash = target.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        // A short name of its own, so any name that fits the folder works.
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = dir + ".vantoria-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0 || errno != EEXIST) break;
        }
        if (fd_ < 0) Fail(target_, errno);
        // Keep the permissions of the file being replaced.
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            (void)::fchmod(fd_, old.st_mode & 07777);
        }
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Fd() const { return fd_; }

    void Commit() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) Fail(target_, errno);  // delayed write errors show here
        // Swapping the two names and then dropping the old file is as atomic
        // as renaming over it, but spares the forced write-out some file
        // systems start when a rename replaces a file (about 15 ms for a
        // screen-sized bitmap). The buffer file is rebuilt at every change,
        // so it needs no more than atomic replacement.
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
            ::unlink(path_.c_str());  // now the previous picture
        } else if (::rename(path_.c_str(), target_.c_str()) != 0) {
            Fail(target_, errno);
        }
        path_.clear();
    }

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
};

// The file to replace: symbolic links are followed, even to a file that does
// not exist yet, so that a link stays a link and its target gets the picture.
std::string ResolveTarget(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {  // the kernel's own limit
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || std::size_t(n) >= target.size()) break;
        target.resize(std::size_t(n));
        const std::size_t slash = path.rfind('/');
        path = target.front() == '/' || slash == std::string::npos
                   ? target
                   : path.substr(0, slash + 1) + target;
    }
    return path;
}

}  // namespace

void Bitmap::SaveToFile(const std::string& path) const {
    struct stat st {};
    if (path.empty()) Fail(path, ENOENT);
    if (path.back() == '/' || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        Fail(path, EISDIR);
    }
    if (Empty()) {
        throw RasterError("cannot write " + path + ": the picture is empty (" +
                          std::to_string(width_) + " x " + std::to_string(height_) + ")");
    }
    const std::size_t row = RowBytes(width_);
    const std::size_t pixels = static_cast<std::size_t>(width_) * 3;
    const std::size_t image = row * static_cast<std::size_t>(height_);
    if (image > UINT32_MAX - kHeaderBytes) {
        throw RasterError("cannot write " + path + ": too large for a Windows bitmap");
    }
    const auto header = Header(width_, height_, static_cast<std::uint32_t>(image));

    // The file wants the bottom row first. Bottom-up storage is the file's
    // layout already and goes out in one piece; otherwise one piece a row,
    // many rows a system call. Padding is written from zeros, not storage.
    static const std::uint8_t zeros[4] = {};
    std::vector<iovec> pieces;
    pieces.push_back({const_cast<std::uint8_t*>(header.data()), header.size()});
    if (stride_ == -static_cast<std::ptrdiff_t>(row) && row == pixels) {
        pieces.push_back({const_cast<std::uint8_t*>(ScanLine(height_ - 1)), image});
    } else {
        pieces.reserve(std::size_t(height_) * 2 + 1);
        for (int y = height_ - 1; y >= 0; --y) {
            pieces.push_back({const_cast<std::uint8_t*>(ScanLine(y)), pixels});
            if (row > pixels) pieces.push_back({const_cast<std::uint8_t*>(zeros), row - pixels});
        }
    }

    TempFile file(ResolveTarget(path));
    if (const int err = WriteAll(file.Fd(), pieces)) Fail(path, err);
    file.Commit();
}

}  // namespace vantoria::raster
