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

#include "platform/posix/UniqueFd.h"

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

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
    throw RasterError("cannot write " + path + ": " + why);
}

// Only a regular file is ever written over: a device, a FIFO or a folder at
// the buffer path, directly, through a link or through "..", stays as it is.
void RequireRegular(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) Fail(path, EISDIR);
    if (!S_ISREG(st.st_mode)) Fail(path, "it is not a regular file, and is left as it is");
}

// The file the picture was read from, which the buffer must never replace:
// compared by device and inode, so any path to it counts.
class SourceFile {
public:
    explicit SourceFile(const std::string& path) : path_(path) {
        struct stat st {};
        known_ = !path.empty() && ::stat(path.c_str(), &st) == 0;
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    void RefuseToReplace(const std::string& target, const struct stat& st) const {
        if (known_ && st.st_dev == dev_ && st.st_ino == ino_)
            Fail(target, "it is the picture being shown, " + path_ + "; choose another buffer file name");
    }

private:
    const std::string& path_;
    bool known_ = false;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

// The new picture, written to an unnamed file in the target's folder that
// gets a name only once it is complete: a process killed while writing
// leaves nothing behind, and a failed write never touches the file already
// there. Where the file system has no unnamed files, a named temporary file
// is used instead, removed on every path but a kill.
class TempFile {
public:
    TempFile(const std::string& target, const struct stat* old) : target_(target) {
        const std::size_t slash = target.rfind('/');
        dir_ = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        fd_ = UniqueFd(::open(dir_.empty() ? "." : dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (!fd_ && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            NextName([this](const std::string& name) {
                fd_ = UniqueFd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
                return bool(fd_);
            });
        }
        if (!fd_) Fail(target_, errno);
        if (old) (void)::fchmod(fd_.Get(), old->st_mode & 07777);  // keep the replaced file's mode
    }
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Fd() const { return fd_.Get(); }

    void Commit() {
        if (path_.empty() && !NextName([this](const std::string& name) { return LinkAs(name); }))
            Fail(target_, errno);
        if (fd_.Reset() != 0) Fail(target_, errno);  // delayed write errors show here
        // Swapping the two names and then dropping the old file is as atomic
        // as renaming over it, but spares the forced write-out some file
        // systems start when a rename replaces a file (about 15 ms for a
        // screen-sized bitmap). The buffer file is rebuilt at every change,
        // so it needs no more than atomic replacement.
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
            struct stat old {};
            if (::lstat(path_.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
                // Something else took the file's place meanwhile: put it back.
                ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE);
                RequireRegular(target_, old);
            }
            ::unlink(path_.c_str());  // now the previous picture
        } else if (::rename(path_.c_str(), target_.c_str()) != 0) {
            Fail(target_, errno);
        }
        path_.clear();
    }

private:
    // Sets path_ to a fresh temporary name for which `make` succeeds; a
    // short name of its own, so any name that fits the folder works.
    template <class Make>
    bool NextName(Make make) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name =
                dir_ + ".vantoria-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
            if (make(name)) {
                path_ = name;
                return true;
            }
            if (errno != EEXIST) break;
        }
        return false;
    }

    // Gives the unnamed file `name`.
    bool LinkAs(const std::string& name) const {
        if (::linkat(fd_.Get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno == EEXIST) return false;
        // Without the privilege that AT_EMPTY_PATH asks for, through /proc.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    std::string target_;
    std::string dir_;   // the target's folder, with its trailing "/"; "" for the working folder
    std::string path_;  // the temporary name, once there is one
    UniqueFd fd_;
};

// Writes through a symbolic link at the buffer path, in place. The kernel
// follows the link, with its protections for shared sticky folders, and the
// link stays a link.
void WriteThroughLink(const std::string& path, std::vector<iovec>& pieces, std::size_t total,
                      const SourceFile& source) {
    // O_NONBLOCK: a FIFO put there meanwhile must not hang the open.
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0) Fail(path, errno);
    RequireRegular(path, st);
    source.RefuseToReplace(path, st);
    if (const int err = WriteAll(fd.Get(), pieces)) Fail(path, err);
    if (::ftruncate(fd.Get(), static_cast<off_t>(total)) != 0) Fail(path, errno);
}

}  // namespace

void Bitmap::SaveToFile(const std::string& path, const std::string& sourceFile) const {
    if (path.empty()) Fail(path, ENOENT);
    if (path.back() == '/') Fail(path, EISDIR);
    if (Empty()) {
        Fail(path, "the picture is empty (" + std::to_string(width_) + " x " + std::to_string(height_) + ")");
    }
    const std::size_t row = RowBytes(width_);
    const std::size_t pixels = static_cast<std::size_t>(width_) * 3;
    const std::size_t image = row * static_cast<std::size_t>(height_);
    if (image > UINT32_MAX - kHeaderBytes) Fail(path, "too large for a Windows bitmap");
    const auto header = Header(width_, height_, static_cast<std::uint32_t>(image));

    // What is there now: links are resolved by the kernel, never by us.
    struct stat entry {};
    struct stat old {};
    const bool isLink = ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) Fail(path, errno);
    const SourceFile source(sourceFile);
    if (exists) {
        RequireRegular(path, old);
        source.RefuseToReplace(path, old);
    }

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

    if (isLink) {
        WriteThroughLink(path, pieces, kHeaderBytes + image, source);
        return;
    }
    TempFile file(path, exists ? &old : nullptr);
    if (const int err = WriteAll(file.Fd(), pieces)) Fail(path, err);
    file.Commit();
}

}  // namespace vantoria::raster
