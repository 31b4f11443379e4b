#include "platform/desktop/X11Connection.h"

#include <cstdlib>

namespace vantoria::desktop {

X11Connection::X11Connection() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) throw X11Error("no display: DISPLAY is not set");
    display_.reset(XOpenDisplay(name));
    if (!display_) throw X11Error(std::string("cannot open display ") + name);
    trap_.emplace(display_.get());
}

X11Connection::~X11Connection() { Close(); }

void X11Connection::Close() {
    if (!display_) return;
    // Errors still on their way are caught here, not by the program's handler.
    X11ErrorTrap::Settle(display_.get());
    trap_.reset();
    display_.reset();
}

std::string X11Connection::TakeError() {
    X11ErrorTrap::Settle(display_.get());
    return trap_->Take();
}

bool X11Connection::HasError() const { return trap_->Has(); }

void X11Connection::Check(const std::string& what) {
    const std::string error = TakeError();
    if (!error.empty()) throw X11Error(what + ": " + error);
}

X11Connection::Ignoring::Ignoring(X11Connection& x) : x_(x), first_(NextRequest(x.Get())) {}

X11Connection::Ignoring::~Ignoring() {
    const unsigned long last = NextRequest(x_.Get()) - 1;
    if (last >= first_) x_.trap_->Ignore(first_, last);
}

}  // namespace vantoria::desktop
