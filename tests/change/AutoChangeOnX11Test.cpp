// The real tray program on a private X server with a tray host: with the
// automatic change on, each minute (of ticks shortened to 20 ms) applies the
// next picture of the folder, in the file list's order, wrapping; at exit the
// position in the sequence is saved.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"
#include "support/TestBmp.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

// File list order is case-blind: "b" comes between "A" and "C".
const std::vector<std::pair<std::string, Rgb>> kPictures = {
    {"A.bmp", {220, 20, 20}}, {"b.bmp", {20, 220, 20}}, {"C.bmp", {20, 20, 220}}};

Rgb RootCentre(Display* display) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, attributes.width / 2, attributes.height / 2, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
}

// Index of the picture with this colour, -1 for none.
int PictureOf(const Rgb& colour) {
    for (std::size_t i = 0; i < kPictures.size(); ++i)
        if (kPictures[i].second == colour) return static_cast<int>(i);
    return -1;
}

std::string Value(const std::string& registry, const std::string& name) {
    std::smatch match;
    if (!std::regex_search(registry, match, std::regex("\"" + name + "\"=\"([^\"]*)\""))) return "<none>";
    return match[1];
}

TEST(AutoChangeOnX11Test, TicksApplyTheFolderInListOrderWrapAndThePositionIsSaved) {
    XvfbServer server("320x240x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    TempDir work;
    const fs::path base = work.Path();
    for (const char* sub : {"config/vantoria", "cache", "runtime", "home", "start", "pics"})
        fs::create_directories(base / sub);
    fs::permissions(base / "runtime", fs::perms::owner_all);
    for (const auto& [name, colour] : kPictures)
        WriteBmp24((base / "pics" / name).string(), 16, 16, [c = colour](int, int) { return c; });
    std::ofstream(base / "pics" / "notes.txt") << "not a picture";
    // Tiled, so the whole screen shows the picture's colour.
    std::ofstream(base / "config/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
           "\"AutoWallChg\"=\"1\"\n\"AutoWallChgTime\"=\"1\"\n\"StartLastWall\"=\"1\"\n"
           "\"StartLastWallCount\"=\"0\"\n\"NoRunAp\"=\"1\"\n\"WallPosition\"=\"1\"\n\"WallSize\"=\"0\"\n"
           "\"PathWall\"=\""
        << (base / "pics").string() << "\"\n";

    const std::map<std::string, std::string> env = {
        {"DISPLAY", server.Name()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"VANTORIA_DESKTOP", "x11"},
        {"XDG_CONFIG_HOME", (base / "config").string()},
        {"XDG_CACHE_HOME", (base / "cache").string()},
        {"XDG_RUNTIME_DIR", (base / "runtime").string()},
        {"HOME", (base / "home").string()},
        {"VANTORIA_TICK_MS", "20"},
    };
    Child tray("/usr/bin/trayer", {"--expand", "true", "--widthtype", "request"}, env, work.Path());
    Child program(VANTORIA_PROGRAM, {}, env, (base / "start").string());

    // Each distinct picture colour the root shows, in the order shown.
    std::vector<int> seen;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const int shown = PictureOf(RootCentre(server.Get()));
            if (shown >= 0 && (seen.empty() || seen.back() != shown)) seen.push_back(shown);
            return seen.size() >= 5 || !program.Running();
        },
        std::chrono::seconds(30)))
        << program.Output();
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0, 1})) << program.Output();

    program.Signal(SIGTERM);
    ASSERT_EQ(program.Wait(), 0) << program.Output();
    EXPECT_EQ(program.Output(), "");

    // The saved position is the one after the picture on the screen now.
    const std::string registry = ReadFile((base / "config/vantoria/registry.reg").string());
    const int last = PictureOf(RootCentre(server.Get()));
    ASSERT_GE(last, 0);
    EXPECT_EQ(Value(registry, "WallPaper"), (base / "pics" / kPictures[last].first).string()) << registry;
    EXPECT_EQ(Value(registry, "StartLastWallCount"), std::to_string((last + 1) % 3)) << registry;
}

}  // namespace
