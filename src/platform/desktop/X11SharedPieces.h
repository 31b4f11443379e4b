#pragma once
// Pixels handed to the X server through shared memory (MIT-SHM) instead of
// the connection: the server copies each piece straight from our memory.
// A few slots take turns, so that we convert the next piece while the
// server still copies the last one.

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <memory>

#include "platform/desktop/X11Connection.h"

namespace vantoria::desktop {

class SharedPieces {
public:
    // `slots` pieces of `slotBytes` each in one segment the server has
    // attached; nothing when the server cannot share memory with us (no
    // extension, another machine or IPC namespace, a refused segment), and
    // the pixels then go through the connection. Call it with no X error
    // pending: one that arrives now is taken as the server's refusal.
    // Throws nothing.
    static std::unique_ptr<SharedPieces> Attach(X11Connection& x, std::size_t slotBytes, int slots = 3);
    // Detaches the segment (after the server has read every piece).
    ~SharedPieces();
    SharedPieces(const SharedPieces&) = delete;
    SharedPieces& operator=(const SharedPieces&) = delete;

    std::size_t SlotBytes() const { return slotBytes_; }
    // Writes every slot once, so that the first pieces do not wait for
    // their memory to be given to the process.
    void Touch();
    // The memory of the next piece, once the server has finished reading
    // what was last put from it. Throws X11Error when the server reports an
    // error instead, or stops answering.
    char* NextSlot();
    // Puts `image`, whose data is the slot NextSlot last gave, on `target`.
    void Put(Drawable target, GC gc, XImage* image, int destX, int destY);
    // The segment as an image's obdata wants it.
    XShmSegmentInfo* Segment() { return &segment_; }
    // Waits until the server has read every piece put so far. Throws X11Error.
    void Finish();

private:
    SharedPieces(X11Connection& x, std::size_t slotBytes, int slots);
    void WaitForOne();

    X11Connection& x_;
    XShmSegmentInfo segment_{};
    bool attached_ = false;
    std::size_t slotBytes_;
    int slots_;
    int completionType_ = 0;
    unsigned long sent_ = 0;
    unsigned long done_ = 0;
};

}  // namespace vantoria::desktop
