#pragma once
// One connection to the X server for one wallpaper change, with the
// server's error replies caught instead of ending the program.

#include "platform/Error.h"
#include "platform/screen/X11ErrorTrap.h"

#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <string>

namespace vantoria::desktop {

// The one error type of the bare-X11 setter; what() is a sentence for the user.
class X11Error : public vantoria::Error {
public:
    using vantoria::Error::Error;
};

class X11Connection {
public:
    // The display named by DISPLAY. Throws X11Error.
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* Get() const { return display_.get(); }
    // Ends the connection now, after the server has processed everything
    // sent; nothing but the destructor may follow.
    void Close();
    Window Root() const { return DefaultRootWindow(display_.get()); }

    // Waits for the server to process every request so far (only when it
    // has not answered for them already) and returns the first error it
    // reported since the last call ("" when none).
    std::string TakeError();
    // The same, throwing X11Error("<what failed>: <error>") when there was one.
    void Check(const std::string& what);
    // Whether an error has arrived since the last TakeError or Check, without
    // waiting for the server.
    bool HasError() const;
    // Marks the requests sent while it lives; their errors are dropped.
    class Ignoring {
    public:
        ~Ignoring();
        Ignoring(const Ignoring&) = delete;
        Ignoring& operator=(const Ignoring&) = delete;

    private:
        friend class X11Connection;
        explicit Ignoring(X11Connection& x);
        X11Connection& x_;
        unsigned long first_;
    };
    // Errors of what is sent while the returned object lives are dropped.
    [[nodiscard]] Ignoring IgnoreErrors() { return Ignoring(*this); }

private:
    struct Closer {
        void operator()(Display* d) const { XCloseDisplay(d); }
    };
    std::unique_ptr<Display, Closer> display_;
    std::optional<X11ErrorTrap> trap_;
};

}  // namespace vantoria::desktop
