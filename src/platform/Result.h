#pragma once
// What became of one step of a wallpaper change (composing, writing the
// buffer file, handing it to the desktop): done, or not done and why. The
// core's errors (Error.h) are thrown where a step cannot go on; a step that
// the change goes on after, or whose failure the caller must word for the
// user, returns this.

#include <string>
#include <utility>

namespace vantoria {

struct [[nodiscard]] Result {
    bool ok = false;
    std::string reason;  // when not ok: one sentence for the user, without a program prefix

    static Result Done() { return {true, {}}; }
    static Result Failed(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const noexcept { return ok; }
};

}  // namespace vantoria
