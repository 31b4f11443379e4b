#include "platform/desktop/X11SharedPieces.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace vantoria::desktop {
namespace {

// A server that takes longer than this for one piece has stopped working.
constexpr int kPieceTimeoutMs = 30'000;

// Segment numbers mean something only on this machine (and in this IPC
// namespace): shared memory is for servers reached through a local socket.
bool LocalConnection(Display* display) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return ::getpeername(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

bool SameByteOrder(Display* display) {
    constexpr bool kHostLsb = std::endian::native == std::endian::little;
    return (ImageByteOrder(display) == LSBFirst) == kHostLsb;
}

}  // namespace

std::unique_ptr<SharedPieces> SharedPieces::Attach(X11Connection& x, std::size_t slotBytes, int slots) {
    Display* display = x.Get();
    // Shared pieces are not byte-swapped by Xlib, so they must already be
    // in the server's order (always so for a server on this machine).
    if (slots < 1 || !LocalConnection(display) || !XShmQueryExtension(display) || !SameByteOrder(display))
        return nullptr;
    std::unique_ptr<SharedPieces> pieces(new SharedPieces(x, slotBytes, slots));
    XShmSegmentInfo& segment = pieces->segment_;
    segment.shmid = ::shmget(IPC_PRIVATE, slotBytes * static_cast<std::size_t>(slots), IPC_CREAT | 0600);
    if (segment.shmid < 0) return nullptr;
    segment.shmaddr = static_cast<char*>(::shmat(segment.shmid, nullptr, 0));
    if (segment.shmaddr == reinterpret_cast<char*>(-1)) {
        segment.shmaddr = nullptr;
        ::shmctl(segment.shmid, IPC_RMID, nullptr);
        return nullptr;
    }
    segment.readOnly = True;
    const bool attached = XShmAttach(display, &segment) && x.TakeError().empty();
    // Marked for removal now: the kernel frees it once both sides detach,
    // even if this process dies first.
    ::shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached) return nullptr;  // the destructor unmaps our side
    pieces->attached_ = true;
    pieces->completionType_ = XShmGetEventBase(display) + ShmCompletion;
    return pieces;
}

SharedPieces::SharedPieces(X11Connection& x, std::size_t slotBytes, int slots)
    : x_(x), slotBytes_(slotBytes), slots_(slots) {}

SharedPieces::~SharedPieces() {
    // The server reads pieces before it handles the detach that follows them.
    if (attached_) XShmDetach(x_.Get(), &segment_);
    if (segment_.shmaddr) ::shmdt(segment_.shmaddr);
}

void SharedPieces::Touch() { std::memset(segment_.shmaddr, 0, slotBytes_ * static_cast<std::size_t>(slots_)); }

char* SharedPieces::NextSlot() {
    while (sent_ - done_ >= static_cast<unsigned long>(slots_)) WaitForOne();
    return segment_.shmaddr + (sent_ % static_cast<unsigned long>(slots_)) * slotBytes_;
}

void SharedPieces::Put(Drawable target, GC gc, XImage* image, int destX, int destY) {
    XShmPutImage(x_.Get(), target, gc, image, 0, 0, destX, destY, static_cast<unsigned>(image->width),
                 static_cast<unsigned>(image->height), True);
    ++sent_;
    XFlush(x_.Get());
}

void SharedPieces::Finish() {
    while (done_ < sent_) WaitForOne();
}

// Completions come in the order of the puts, so counting them is enough.
void SharedPieces::WaitForOne() {
    Display* display = x_.Get();
    XEvent event;
    while (!XCheckTypedEvent(display, completionType_, &event)) {
        // A put the server refused never completes.
        if (x_.HasError()) x_.Check("cannot send the picture to the X server");
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        const int n = ::poll(&ready, 1, kPieceTimeoutMs);
        if (n == 0) throw X11Error("the X server stopped answering while it took the picture");
        if (n < 0 && errno != EINTR) throw X11Error("lost the connection to the X server");
    }
    ++done_;
}

}  // namespace vantoria::desktop
