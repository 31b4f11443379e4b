#include "platform/screen/X11ErrorTrap.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace vantoria {
namespace {

struct Trapped {
    Display* display = nullptr;
    std::string firstError;
    std::vector<std::pair<unsigned long, unsigned long>> ignored;
};

// Xlib calls the handler on whichever thread reads the error, with the
// connection unlocked; every trap lives in one list behind one lock. Never
// freed: a thread may still end its connection while the program exits.
struct Traps {
    std::mutex lock;
    std::vector<Trapped> open;
    XErrorHandler previous = nullptr;
};
Traps& AllTraps() {
    static Traps* traps = new Traps;
    return *traps;
}

int RecordError(Display* display, XErrorEvent* event) {
    Traps& traps = AllTraps();
    XErrorHandler previous = nullptr;
    {
        const std::lock_guard guard(traps.lock);
        auto it = std::find_if(traps.open.begin(), traps.open.end(),
                               [&](const Trapped& t) { return t.display == display; });
        if (it != traps.open.end()) {
            for (const auto& [first, last] : it->ignored)
                if (event->serial >= first && event->serial <= last) return 0;
            if (it->firstError.empty()) {
                char text[256] = {};
                XGetErrorText(display, event->error_code, text, sizeof text);
                it->firstError = text;
                if (it->firstError.empty()) it->firstError = "error " + std::to_string(event->error_code);
            }
            return 0;
        }
        previous = traps.previous;
    }
    return previous ? previous(display, event) : 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display) {
    Traps& traps = AllTraps();
    const std::lock_guard guard(traps.lock);
    if (traps.open.empty()) traps.previous = XSetErrorHandler(RecordError);
    traps.open.push_back({display, {}, {}});
}

X11ErrorTrap::~X11ErrorTrap() {
    Traps& traps = AllTraps();
    const std::lock_guard guard(traps.lock);
    std::erase_if(traps.open, [&](const Trapped& t) { return t.display == display_; });
    if (traps.open.empty()) {
        XSetErrorHandler(traps.previous);
        traps.previous = nullptr;
    }
}

std::string X11ErrorTrap::Take() {
    Traps& traps = AllTraps();
    const std::lock_guard guard(traps.lock);
    for (Trapped& t : traps.open)
        if (t.display == display_) return std::exchange(t.firstError, std::string());
    return {};
}

bool X11ErrorTrap::Has() const {
    Traps& traps = AllTraps();
    const std::lock_guard guard(traps.lock);
    return std::any_of(traps.open.begin(), traps.open.end(),
                       [&](const Trapped& t) { return t.display == display_ && !t.firstError.empty(); });
}

void X11ErrorTrap::Ignore(unsigned long firstSerial, unsigned long lastSerial) {
    Traps& traps = AllTraps();
    const std::lock_guard guard(traps.lock);
    for (Trapped& t : traps.open)
        if (t.display == display_) t.ignored.emplace_back(firstSerial, lastSerial);
}

// The server answers in the order of the requests, and Xlib hands every
// error to the handler before anything read after it: once something has
// been read about the last request, nothing about earlier ones is to come.
bool X11ErrorTrap::Settled(Display* display) {
    return LastKnownRequestProcessed(display) == NextRequest(display) - 1;
}

void X11ErrorTrap::Settle(Display* display) {
    if (!Settled(display)) XSync(display, False);
}

}  // namespace vantoria
