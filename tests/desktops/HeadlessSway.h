#pragma once
// Pieces of the end-to-end tests on a headless sway. sway refuses to run as
// root, so the compositor and what talks to it run as an unprivileged user;
// grim reads the outputs.

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "desktops/DesktopSession.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {

constexpr int kNobodyId = 65534;

// The arguments that make setpriv run `command` as that user.
inline std::vector<std::string> AsNobody(std::vector<std::string> command) {
    const std::string id = std::to_string(kNobodyId);
    command.insert(command.begin(), {"--reuid=" + id, "--regid=" + id, "--clear-groups"});
    return command;
}

// The environment of a headless sway with the pixman renderer and no input
// devices, in the private folders given.
inline std::map<std::string, std::string> HeadlessSwayEnv(const std::string& home, const std::string& configHome,
                                                          const std::string& run) {
    return {{"HOME", home},
            {"XDG_CONFIG_HOME", configHome},
            {"XDG_CACHE_HOME", home + "/cache"},
            {"XDG_RUNTIME_DIR", run},
            {"XDG_CURRENT_DESKTOP", ""},
            {"DISPLAY", ""},  // empty is unset: no X server to ask
            {"WAYLAND_DISPLAY", ""},
            {"WLR_BACKENDS", "headless"},
            {"WLR_RENDERER", "pixman"},
            {"WLR_LIBINPUT_NO_DEVICES", "1"}};
}

// Waits until `sway` has made both of its sockets in `run`, and names them in `env`.
inline bool WaitForSwaySockets(Child& sway, const std::string& run, std::map<std::string, std::string>& env) {
    return WaitUntil([&] {
        sway.Running();
        for (const auto& entry : std::filesystem::directory_iterator(run)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("sway-ipc.") && name.ends_with(".sock")) env["SWAYSOCK"] = entry.path();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) env["WAYLAND_DISPLAY"] = name;
        }
        return !env["SWAYSOCK"].empty() && !env["WAYLAND_DISPLAY"].empty();
    });
}

// A binary PPM (P6, 8 bits a channel) as grim writes it.
inline std::vector<Rgb> ReadPpm(const std::string& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    in >> magic >> width >> height >> max;
    in.get();
    std::vector<Rgb> pixels;
    if (magic != "P6" || max != 255 || width <= 0 || height <= 0) return pixels;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return pixels;
    for (std::size_t i = 0; i < bytes.size(); i += 3) pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
    return pixels;
}

// One look at `output` ("" for the whole screen) through grim: whether it is
// `width` x `height` and shows `expected` everywhere; what differs goes in `first`.
inline bool SwayShows(const std::map<std::string, std::string>& env, const std::string& dir, const std::string& output,
                      int width, int height, const std::function<Rgb(const std::vector<Rgb>&, int, int)>& expected,
                      std::string& first) {
    const std::string shot = dir + "/shot.ppm";
    std::vector<std::string> args{"-t", "ppm"};
    if (!output.empty()) args.insert(args.end(), {"-o", output});
    args.push_back(shot);
    Child grim(FindProgram("grim"), args, env, dir);
    if (grim.Wait() != 0) return first = grim.Output(), false;
    int w = 0, h = 0;
    const std::vector<Rgb> pixels = ReadPpm(shot, w, h);
    if (w != width || h != height || pixels.empty()) return first = "no screen", false;
    first.clear();
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (pixels[static_cast<std::size_t>(y) * w + x] != expected(pixels, x, y) && bad++ < 3)
                first += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
    return bad == 0;
}

}  // namespace vantoria::test
