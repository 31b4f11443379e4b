#pragma once
// An open file descriptor, closed by its owner's destructor.

#include <unistd.h>

#include <utility>

namespace vantoria::imaging {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Opens `path` read-only for reading its bytes, refusing anything but a
// regular file (a FIFO would block, a folder has no bytes). The descriptor
// is blocking again when returned. Empty on failure, with errno set.
UniqueFd OpenRegularFile(const char* path);

}  // namespace vantoria::imaging
