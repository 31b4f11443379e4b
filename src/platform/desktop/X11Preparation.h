#pragma once
// The drawing of the root window made ready on a thread of its own while
// the change's picture is decoded, and handed to the drawing once the
// picture is there.

#include <memory>

#include "platform/desktop/X11RootSetup.h"

namespace vantoria::desktop {

class X11Preparation {
public:
    // Starts preparing; nothing when no thread can be had.
    X11Preparation();
    // Drops what no drawing took: its connections end, and the server frees
    // all that was made on them.
    ~X11Preparation();
    X11Preparation(const X11Preparation&) = delete;
    X11Preparation& operator=(const X11Preparation&) = delete;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// What the preparation alive now made ready, once it has finished; nullptr
// when there is none, it failed, or the screen changed since it read the
// monitors. A preparation is taken once.
std::unique_ptr<PreparedRoot> TakePreparedRoot();

}  // namespace vantoria::desktop
