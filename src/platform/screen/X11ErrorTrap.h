#pragma once
// The X errors of one Xlib connection caught and kept, instead of going to
// the process-wide handler (whose default ends the program). Several
// connections may be trapped at once, each used by one thread at a time:
// the wallpaper of a change is made ready on a thread of its own while the
// program asks the server other things on its main thread.

#include <X11/Xlib.h>

#include <string>

namespace vantoria {

class X11ErrorTrap {
public:
    // Catches the errors of `display` until the trap goes. Errors of other
    // connections go on to the handler that was set before the first trap.
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // The first error caught since the last Take, as Xlib words it ("" when
    // none), without asking the server.
    std::string Take();
    bool Has() const;
    // Errors of the requests with these serials are dropped (a request
    // whose failure is expected, such as freeing what may be gone already).
    void Ignore(unsigned long firstSerial, unsigned long lastSerial);

    // Whether the server has answered for every request sent, so that every
    // error it will report about them has been caught already.
    static bool Settled(Display* display);
    // Makes it so, waiting for the server only when it is not.
    static void Settle(Display* display);

private:
    Display* display_;
};

}  // namespace vantoria
