#include "platform/desktop/X11Connection.h"

#include <cstdlib>

namespace vantoria::desktop {
namespace {

// Xlib has one error handler for the whole process; it is ours while a
// connection is open (the setter runs on one thread, one connection at a time).
Display* g_trapped = nullptr;
std::string g_firstError;
XErrorHandler g_previous = nullptr;

int RecordError(Display* display, XErrorEvent* event) {
    if (display != g_trapped) return g_previous ? g_previous(display, event) : 0;
    if (g_firstError.empty()) {
        char text[256] = {};
        XGetErrorText(display, event->error_code, text, sizeof text);
        g_firstError = text;
        if (g_firstError.empty()) g_firstError = "error " + std::to_string(event->error_code);
    }
    return 0;
}

}  // namespace

X11Connection::X11Connection() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) throw X11Error("no display: DISPLAY is not set");
    display_.reset(XOpenDisplay(name));
    if (!display_) throw X11Error(std::string("cannot open display ") + name);
    g_trapped = display_.get();
    g_firstError.clear();
    previousHandler_ = XSetErrorHandler(RecordError);
    g_previous = previousHandler_;
}

X11Connection::~X11Connection() { Close(); }

void X11Connection::Close() {
    if (!display_) return;
    XSync(display_.get(), False);
    XSetErrorHandler(previousHandler_);
    g_trapped = nullptr;
    g_previous = nullptr;
    display_.reset();
}

std::string X11Connection::TakeError() {
    XSync(display_.get(), False);
    std::string error;
    error.swap(g_firstError);
    return error;
}

bool X11Connection::HasError() const { return !g_firstError.empty(); }

void X11Connection::Check(const std::string& what) {
    const std::string error = TakeError();
    if (!error.empty()) throw X11Error(what + ": " + error);
}

}  // namespace vantoria::desktop
