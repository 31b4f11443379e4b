#pragma once
// An open file descriptor, closed by its owner.

#include <unistd.h>

#include <utility>

namespace vantoria::spi {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
};

// Reads up to `n` bytes at `offset` without moving the file position,
// retrying short reads and interruptions. Returns the bytes read (fewer only
// at the end of the file) or -1 on a read error.
long long ReadFully(int fd, void* dst, std::size_t n, long long offset);

}  // namespace vantoria::spi
