// First: Xlib's macros (None) clash with names in it.
#include "platform/desktop/DeskWallpaper.h"

#include "platform/desktop/X11Preparation.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace vantoria::desktop {

struct X11Preparation::State {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    std::unique_ptr<PreparedRoot> prepared;
};

namespace {

// How long an unused preparation is waited for before its thread is left
// to end it by itself (a server that stopped answering).
constexpr auto kDropWait = std::chrono::seconds(2);

std::mutex g_currentLock;
std::shared_ptr<X11Preparation::State> g_current;

void Prepare(const std::shared_ptr<X11Preparation::State>& state) {
    std::unique_ptr<PreparedRoot> prepared;
    try {
        prepared = PrepareRoot();
    } catch (const std::exception&) {
        // The drawing then makes everything itself, and fails where it must.
    }
    std::unique_lock guard(state->lock);
    if (state->abandoned) {
        guard.unlock();
        return;  // `prepared` ends here, on this thread
    }
    state->prepared = std::move(prepared);
    state->done = true;
    state->finished.notify_all();
}

}  // namespace

X11Preparation::X11Preparation() {
    auto state = std::make_shared<State>();
    try {
        std::thread(Prepare, state).detach();
    } catch (const std::system_error&) {
        return;
    }
    state_ = state;
    const std::lock_guard guard(g_currentLock);
    g_current = state;
}

X11Preparation::~X11Preparation() {
    if (!state_) return;
    {
        const std::lock_guard guard(g_currentLock);
        if (g_current == state_) g_current.reset();
    }
    std::unique_ptr<PreparedRoot> unused;
    {
        std::unique_lock guard(state_->lock);
        if (state_->finished.wait_for(guard, kDropWait, [&] { return state_->done; }))
            unused = std::move(state_->prepared);
        else
            state_->abandoned = true;
    }
}

DesktopPreparation::DesktopPreparation() {
    if (DrawsFromMemory()) x11_ = std::make_unique<X11Preparation>();
}

DesktopPreparation::~DesktopPreparation() = default;

std::unique_ptr<PreparedRoot> TakePreparedRoot() {
    std::shared_ptr<X11Preparation::State> state;
    {
        const std::lock_guard guard(g_currentLock);
        state = std::move(g_current);
        g_current.reset();
    }
    if (!state) return nullptr;
    std::unique_ptr<PreparedRoot> prepared;
    {
        std::unique_lock guard(state->lock);
        state->finished.wait(guard, [&] { return state->done; });
        prepared = std::move(state->prepared);
    }
    if (prepared && prepared->Outdated()) prepared.reset();
    return prepared;
}

}  // namespace vantoria::desktop
