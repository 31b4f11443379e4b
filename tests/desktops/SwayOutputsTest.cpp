// One picture across the two outputs of a headless sway: each output shows
// its part of it, set per output through swaymsg. sway refuses to run as
// root, so the compositor and the change run as an unprivileged user.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 300, kH = 100;
constexpr int kBoxW = 720, kBoxH = 300;  // 400 x 300 at 0,0 and 320 x 240 at 400,0
constexpr const char* kNobody = "65534";

Rgb PictureAt(int x, int y) { return {(x * 3) % 256, y * 2 + 1, 90}; }

std::vector<Rgb> ReadPpm(const std::string& path, int& width, int& height) {
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

std::vector<std::string> AsNobody(std::vector<std::string> command) {
    command.insert(command.begin(),
                   {std::string("--reuid=") + kNobody, std::string("--regid=") + kNobody, "--clear-groups"});
    return command;
}

TEST(SwayOutputsTest, OnePictureAcrossTwoOutputs) {
    if (const std::string missing = MissingProgram({"sway", "swaybg", "grim", "setpriv", "swaymsg"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0711);
    const std::string home = dir.Path() + "/home", run = dir.Path() + "/run";
    for (const std::string& d : {home, run, home + "/config-home", home + "/config-home/vantoria"}) {
        std::filesystem::create_directories(d);
        ASSERT_EQ(::chown(d.c_str(), 65534, 65534), 0);
        ::chmod(d.c_str(), 0700);
    }
    std::ofstream(home + "/config") << "xwayland disable\n"
                                       "output HEADLESS-1 mode 400x300 position 0 0\n"
                                       "output HEADLESS-2 mode 320x240 position 400 0\n";
    // Unscaled and centred (WallPosition 0, WallSize 0), across both outputs.
    const std::string registry = home + "/config-home/vantoria/registry.reg";
    std::ofstream(registry) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
                               "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"2\"\n";
    WriteBmp24(home + "/pic.bmp", kW, kH, PictureAt);
    for (const std::string& f : {registry, home + "/pic.bmp"}) ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);
    const std::string change = CopyWithDecodeHelper(VANTORIA_CHANGE_PROGRAM, dir.Path());
    std::map<std::string, std::string> env{{"HOME", home},
                                           {"XDG_CONFIG_HOME", home + "/config-home"},
                                           {"XDG_CACHE_HOME", home + "/cache"},
                                           {"XDG_RUNTIME_DIR", run},
                                           {"XDG_CURRENT_DESKTOP", ""},
                                           {"DISPLAY", ""},
                                           {"WAYLAND_DISPLAY", ""},
                                           {"WLR_BACKENDS", "headless"},
                                           {"WLR_HEADLESS_OUTPUTS", "2"},
                                           {"WLR_RENDERER", "pixman"},
                                           {"WLR_LIBINPUT_NO_DEVICES", "1"}};
    Child sway(FindProgram("setpriv"), AsNobody({FindProgram("sway"), "-c", home + "/config"}), env, home);
    ASSERT_TRUE(WaitUntil([&] {
        sway.Running();
        for (const auto& entry : std::filesystem::directory_iterator(run)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("sway-ipc.") && name.ends_with(".sock")) env["SWAYSOCK"] = entry.path();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) env["WAYLAND_DISPLAY"] = name;
        }
        return !env["SWAYSOCK"].empty() && !env["WAYLAND_DISPLAY"].empty();
    })) << sway.Output();

    Child run_change(FindProgram("setpriv"), AsNobody({change, "--no-run", home + "/pic.bmp"}), env, home);
    ASSERT_EQ(run_change.Wait(), 0) << run_change.Output();

    const int left = (kBoxW - kW) / 2, top = (kBoxH - kH) / 2;
    for (const auto& [output, ox, ow, oh] :
         {std::tuple{"HEADLESS-1", 0, 400, 300}, std::tuple{"HEADLESS-2", 400, 320, 240}}) {
        std::string first;
        const bool shown = WaitUntil(
            [&, output = output, ox = ox, ow = ow, oh = oh] {
                sway.Running();
                const std::string shot = dir.Path() + "/shot.ppm";
                Child grim(FindProgram("grim"), {"-t", "ppm", "-o", output, shot}, env, dir.Path());
                if (grim.Wait() != 0) return first = grim.Output(), false;
                int w = 0, h = 0;
                const std::vector<Rgb> pixels = ReadPpm(shot, w, h);
                if (w != ow || h != oh || pixels.empty()) return first = "no screen", false;
                first.clear();
                int bad = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const int px = ox + x - left, py = y - top;
                        const Rgb want = px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py) : Rgb{};
                        if (pixels[static_cast<std::size_t>(y) * w + x] != want && bad++ < 3)
                            first += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
                    }
                return bad == 0;
            },
            std::chrono::seconds(30));
        EXPECT_TRUE(shown) << output << ": " << first;
    }
}

}  // namespace
}  // namespace vantoria::test
