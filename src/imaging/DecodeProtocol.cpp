#include "imaging/DecodeProtocol.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/raster/Bitmap.h"

namespace vantoria::imaging::decode {

namespace {

constexpr std::uint32_t kRequestMagic = 0x31514456;   // "VDQ1"
constexpr std::uint32_t kReplyMagic = 0x31524456;     // "VDR1"
constexpr std::size_t kMaxMessage = 8 * 1024 + 3 * kMaxText;

// Fixed-width fields, flags as one byte and length-prefixed texts, in host
// byte order (both ends are the same machine). Writer and Reader take the
// same Field calls, so that one list of a message's fields serves both ends.
class Writer {
public:
    template <typename T>
    bool Field(const T& value) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof value);
        return true;
    }
    bool Field(const bool& flag) { return Field(static_cast<std::uint8_t>(flag)); }
    bool Field(const std::string& text) {
        const std::size_t n = std::min(text.size(), kMaxText);
        Field(static_cast<std::uint32_t>(n));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Every Field is false once the message is shorter than its fields, or
// holds a flag other than 0 or 1 or a text longer than kMaxText.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    template <typename T>
    bool Field(T& value) {
        if (size_ - at_ < sizeof value) return false;
        std::memcpy(&value, data_ + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool Field(bool& flag) {
        std::uint8_t byte = 0;
        if (!Field(byte) || byte > 1) return false;
        flag = byte != 0;
        return true;
    }
    bool Field(std::string& text) {
        std::uint32_t n = 0;
        if (!Field(n) || n > kMaxText || size_ - at_ < n) return false;
        text.assign(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return true;
    }
    bool AtEnd() const { return at_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

bool Send(int socket, const std::vector<std::uint8_t>& bytes, int fd) {
    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
        cmsg->cmsg_level = SOL_SOCKET;
        cmsg->cmsg_type = SCM_RIGHTS;
        cmsg->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(cmsg), &fd, sizeof fd);
    }
    for (;;) {
        const ssize_t n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        return n == static_cast<ssize_t>(bytes.size());
    }
}

// One whole message and the descriptor that came with it, if any. A message
// that was cut (longer than the buffer) or that carried more than one
// descriptor is refused; the descriptors are closed either way.
bool Receive(int socket, std::vector<std::uint8_t>& bytes, UniqueFd& fd) {
    bytes.resize(kMaxMessage);
    iovec iov{bytes.data(), bytes.size()};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = ::recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    int fds = 0;
    for (cmsghdr* cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level != SOL_SOCKET || cmsg->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (cmsg->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int received = -1;
            std::memcpy(&received, CMSG_DATA(cmsg) + i * sizeof(int), sizeof received);
            if (fds++ == 0) {
                fd = UniqueFd(received);
            } else {
                ::close(received);
            }
        }
    }
    if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0 || fds > 1) {
        fd.Reset();
        return false;
    }
    bytes.resize(static_cast<std::size_t>(n));
    return true;
}

}  // namespace

bool SendSpawn(int control, int socket, int status) {
    char byte = 'S';
    iovec iov{&byte, 1};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control_[CMSG_SPACE(2 * sizeof(int))] = {};
    msg.msg_control = control_;
    msg.msg_controllen = sizeof control_;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(2 * sizeof(int));
    const int fds[2] = {socket, status};
    std::memcpy(CMSG_DATA(cmsg), fds, sizeof fds);
    ssize_t n;
    do {
        n = ::sendmsg(control, &msg, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

bool ReadSpawn(int control, UniqueFd& socket, UniqueFd& status) {
    char byte = 0;
    iovec iov{&byte, 1};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control_[CMSG_SPACE(2 * sizeof(int))] = {};
    msg.msg_control = control_;
    msg.msg_controllen = sizeof control_;
    ssize_t n;
    do {
        n = ::recvmsg(control, &msg, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n != 1) return false;
    const cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    if (!cmsg || cmsg->cmsg_type != SCM_RIGHTS || cmsg->cmsg_len != CMSG_LEN(2 * sizeof(int))) return false;
    int fds[2];
    std::memcpy(fds, CMSG_DATA(cmsg), sizeof fds);
    socket = UniqueFd(fds[0]);
    status = UniqueFd(fds[1]);
    return true;
}

bool CanBeExact(std::int32_t width, std::int32_t height) {
    return width > 0 && height > 0 && width <= raster::kMaxSide && height <= raster::kMaxSide &&
           std::int64_t{width} * height <= raster::kMaxPixels;
}

namespace {

// The fields of a request after its magic, in order, for either end; the
// open error goes apart, as the sender gives none with a descriptor.
template <class Io, class R, class E>
bool RequestFields(Io& io, R& request, E& openError) {
    return io.Field(request.memoryBudget) && io.Field(request.wantedWidth) && io.Field(request.wantedHeight) &&
           io.Field(request.exact) && io.Field(openError) && io.Field(request.folder) && io.Field(request.file) &&
           io.Field(request.carriedPlugin);
}

// The fields of a reply after its magic and outcome, in order.
template <class Io, class R>
bool ReplyFields(Io& io, R& reply) {
    return io.Field(reply.errer) && io.Field(reply.colorBit) && io.Field(reply.throughPlugin) &&
           io.Field(reply.width) && io.Field(reply.height) && io.Field(reply.pictureWidth) &&
           io.Field(reply.pictureHeight) && io.Field(reply.bottomUp) && io.Field(reply.offset) &&
           io.Field(reply.stretched) && io.Field(reply.message) && io.Field(reply.chosenPlugin) &&
           io.Field(reply.refused);
}

}  // namespace

bool SendRequest(int socket, const Request& request) {
    Writer out;
    const std::int32_t openError = request.fileFd ? 0 : request.openError;
    out.Field(kRequestMagic);
    RequestFields(out, request, openError);
    return Send(socket, out.Bytes(), request.fileFd ? request.fileFd.Get() : -1);
}

std::optional<Request> ReadRequest(int socket) {
    std::vector<std::uint8_t> bytes;
    Request request;
    if (!Receive(socket, bytes, request.fileFd)) return std::nullopt;
    Reader in(bytes.data(), bytes.size());
    std::uint32_t magic = 0;
    if (!in.Field(magic) || magic != kRequestMagic || !RequestFields(in, request, request.openError) || !in.AtEnd())
        return std::nullopt;
    if (request.exact && !CanBeExact(request.wantedWidth, request.wantedHeight)) return std::nullopt;
    return request;
}

bool SendReply(int socket, const Reply& reply) {
    Writer out;
    out.Field(kReplyMagic);
    out.Field(static_cast<std::uint32_t>(reply.outcome));
    ReplyFields(out, reply);
    return Send(socket, out.Bytes(), reply.pixels ? reply.pixels.Get() : -1);
}

std::optional<Reply> ReadReply(int socket) {
    std::vector<std::uint8_t> bytes;
    Reply reply;
    if (!Receive(socket, bytes, reply.pixels)) return std::nullopt;
    Reader in(bytes.data(), bytes.size());
    std::uint32_t magic = 0, outcome = 0;
    if (!in.Field(magic) || magic != kReplyMagic || !in.Field(outcome) ||
        outcome > static_cast<std::uint32_t>(Outcome::OtherError) || !ReplyFields(in, reply) || !in.AtEnd()) {
        return std::nullopt;
    }
    reply.outcome = static_cast<Outcome>(outcome);
    return reply;
}

bool StretchedAsAsked(const Request& request, const Reply& reply) {
    if (!reply.stretched) return true;
    return request.exact && reply.width == request.wantedWidth && reply.height == request.wantedHeight;
}

}  // namespace vantoria::imaging::decode
