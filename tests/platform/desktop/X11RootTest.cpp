// The bare-X11 setter on a real X server, checked pixel by pixel.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/desktop/DeskWallpaper.h"
#include "platform/desktop/DesktopChoice.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/desktop/X11Root.h"
#include "platform/raster/Bitmap.h"
#include "platform/registry/Registry.h"

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include "desktops/XvfbMonitors.h"
#include "platform/desktop/XvfbServer.h"
#include "support/TestBmp.h"

namespace vantoria::desktop {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Rgb = std::array<int, 3>;

constexpr int kRootWidth = 640;
constexpr int kRootHeight = 480;
constexpr Rgb kBlack{0, 0, 0};

// Every pixel says where it came from: red and green count columns and
// rows, blue counts blocks of 256 and is never zero, so black is never a pixel.
Rgb Coded(int x, int y) { return {x & 255, y & 255, 30 + 40 * ((x >> 8) + 3 * (y >> 8))}; }

std::string WriteCoded(const std::string& path, int width, int height) {
    raster::Bitmap picture(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const Rgb c = Coded(x, y);
            row[x * 3] = static_cast<std::uint8_t>(c[2]);
            row[x * 3 + 1] = static_cast<std::uint8_t>(c[1]);
            row[x * 3 + 2] = static_cast<std::uint8_t>(c[0]);
        }
    }
    picture.SaveToFile(path);
    return path;
}

// The coded picture as a bitmap file of 24 or 32 bits a pixel, its rows
// stored top-down or bottom-up, with only the first `keptRows` stored rows
// present (all when negative), as another program might write it.
std::string WriteCodedFile(const std::string& path, int width, int height, int bits, bool topDown,
                           int keptRows = -1) {
    test::WriteBmp(path, width, height,
                   [](int x, int y) {
                       const Rgb c = Coded(x, y);
                       return test::Rgb{c[0], c[1], c[2]};
                   },
                   test::BmpLayout{bits, topDown, keptRows});
    return path;
}

// Errors of the test's own requests, caught instead of ending the test.
int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

class X11RootTest : public ::testing::Test {
protected:
    explicit X11RootTest(const std::string& screen = "640x480x24") : box_("x11"), server_(screen) {}

    void SetUp() override { ASSERT_NE(server_.Get(), nullptr) << "Xvfb did not start"; }

    // The root window as the screen shows it.
    std::vector<Rgb> Screen() const {
        Display* d = server_.Get();
        XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, kRootWidth, kRootHeight, AllPlanes, ZPixmap);
        std::vector<Rgb> pixels;
        if (!image) return pixels;
        const Visual* v = DefaultVisual(d, DefaultScreen(d));
        auto channel = [](unsigned long pixel, unsigned long mask) {
            const int shift = __builtin_ctzl(mask);
            const unsigned long top = mask >> shift;
            return static_cast<int>(((pixel & mask) >> shift) * 255 / top);
        };
        for (int y = 0; y < kRootHeight; ++y)
            for (int x = 0; x < kRootWidth; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                pixels.push_back({channel(p, v->red_mask), channel(p, v->green_mask), channel(p, v->blue_mask)});
            }
        XDestroyImage(image);
        return pixels;
    }

    // Compares the screen with `expected(x, y)`; reports the first few differences.
    template <class F>
    void ExpectScreen(F expected, int tolerance = 0) const {
        const auto pixels = Screen();
        ASSERT_EQ(pixels.size(), std::size_t{kRootWidth * kRootHeight});
        int reported = 0;
        for (int y = 0; y < kRootHeight; ++y)
            for (int x = 0; x < kRootWidth; ++x) {
                const Rgb got = pixels[y * kRootWidth + x];
                const Rgb want = expected(x, y);
                bool same = true;
                for (int c = 0; c < 3; ++c) same = same && std::abs(got[c] - want[c]) <= tolerance;
                if (!same && reported++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << got[0] << "," << got[1] << ","
                                  << got[2] << " instead of " << want[0] << "," << want[1] << "," << want[2];
            }
    }

    std::optional<Pixmap> Property(const char* name) const {
        Display* d = server_.Get();
        const Atom atom = XInternAtom(d, name, False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(d, DefaultRootWindow(d), atom, 0, 1, False, AnyPropertyType, &type, &format, &count,
                           &after, &data);
        std::optional<Pixmap> value;
        if (data && type == XA_PIXMAP && format == 32 && count == 1) value = *reinterpret_cast<unsigned long*>(data);
        if (data) XFree(data);
        return value;
    }

    bool PixmapExists(Pixmap pixmap) const {
        Display* d = server_.Get();
        XSync(d, False);
        g_errors = 0;
        const XErrorHandler previous = XSetErrorHandler(CountError);
        Window root;
        int x, y;
        unsigned w, h, border, depth;
        XGetGeometry(d, pixmap, &root, &x, &y, &w, &h, &border, &depth);
        XSync(d, False);
        XSetErrorHandler(previous);
        return g_errors == 0;
    }

    // The server's clients (the test's own among them) and the pixmaps they
    // hold, with the resource bases of the clients.
    struct ServerCount {
        int clients = 0;
        int pixmaps = 0;
        std::set<XID> bases;
        bool operator==(const ServerCount& o) const { return clients == o.clients && pixmaps == o.pixmaps; }
    };
    ServerCount Count() const {
        Display* d = server_.Get();
        ServerCount count;
        int n = 0;
        XResClient* clients = nullptr;
        if (!XResQueryClients(d, &n, &clients)) return count;
        const Atom pixmapType = XInternAtom(d, "PIXMAP", False);
        for (int i = 0; i < n; ++i) {
            count.bases.insert(clients[i].resource_base);
            int types = 0;
            XResType* held = nullptr;
            if (!XResQueryClientResources(d, clients[i].resource_base, &types, &held)) continue;
            for (int t = 0; t < types; ++t)
                if (held[t].resource_type == pixmapType) count.pixmaps += static_cast<int>(held[t].count);
            XFree(held);
        }
        count.clients = n;
        XFree(clients);
        return count;
    }
    // Waits until a preparation has its two connections and its pixmap;
    // the bases of the clients it opened.
    std::set<XID> WaitForPreparation(const ServerCount& before) const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < until) {
            ServerCount now = Count();
            if (now.clients == before.clients + 2 && now.pixmaps == before.pixmaps + 1) {
                std::set<XID> added;
                for (const XID base : now.bases)
                    if (!before.bases.count(base)) added.insert(base);
                return added;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ADD_FAILURE() << "the preparation did not get ready";
        return {};
    }
    // Whether the pixmap on the root is one a client opened by a preparation made.
    bool ShownFrom(const std::set<XID>& bases) const {
        const auto shown = Property("_XROOTPMAP_ID");
        if (!shown) return false;
        for (const XID base : bases)
            if ((*shown & ~XID{0x1fffff}) == base) return true;
        return false;
    }

    std::string Picture(int width, int height) const {
        return WriteCoded(box_.Dir() + "/picture " + std::to_string(width) + ".bmp", width, height);
    }

    test::DesktopSandbox box_;
    test::XvfbServer server_;
};

TEST_F(X11RootTest, TilesFromTheTopLeftCorner) {
    ASSERT_EQ(SetX11RootWallpaper(Picture(50, 30), true).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x % 50, y % 30); });
}

TEST_F(X11RootTest, CentresOnBlack) {
    ASSERT_EQ(SetX11RootWallpaper(Picture(51, 31), false).reason, "");
    // 589 and 449 pixels to share: the odd one goes to the right and the bottom.
    ExpectScreen([](int x, int y) {
        const int px = x - 294, py = y - 224;
        return (px >= 0 && px < 51 && py >= 0 && py < 31) ? Coded(px, py) : kBlack;
    });
}

TEST_F(X11RootTest, ALargerPictureShowsItsMiddleOrItsTopLeft) {
    const std::string big = Picture(701, 500);
    ASSERT_EQ(SetX11RootWallpaper(big, false).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x + 31, y + 10); });
    ASSERT_EQ(SetX11RootWallpaper(big, true).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x, y); });
}

TEST_F(X11RootTest, SmallPiecesGiveTheSamePictureThroughSharedMemoryOrTheConnection) {
    // Rows split into strips, and rows wider than one piece split into columns.
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared memory" : "connection");
        ASSERT_EQ(SetX11RootWallpaper(Picture(50, 30), true, X11Transfer{1000, shared}).reason, "");
        ExpectScreen([](int x, int y) { return Coded(x % 50, y % 30); });
        ASSERT_EQ(SetX11RootWallpaper(Picture(700, 500), false, X11Transfer{1000, shared}).reason, "");
        ExpectScreen([](int x, int y) { return Coded(x + 30, y + 10); });
        ASSERT_EQ(SetX11RootWallpaper(Picture(51, 31), false, X11Transfer{SIZE_MAX, shared}).reason, "");
        ExpectScreen([](int x, int y) {
            const int px = x - 294, py = y - 224;
            return (px >= 0 && px < 51 && py >= 0 && py < 31) ? Coded(px, py) : kBlack;
        });
    }
}

TEST_F(X11RootTest, ReadsBitmapFilesOfOtherLayouts) {
    const std::string dir = box_.Dir();
    // Top-down rows, read a band at a time like the program's own files.
    ASSERT_EQ(SetX11RootWallpaper(WriteCodedFile(dir + "/down.bmp", 53, 29, 24, true), true, X11Transfer{1000})
                  .reason,
              "");
    ExpectScreen([](int x, int y) { return Coded(x % 53, y % 29); });
    // Other depths go through the bitmap decoder.
    ASSERT_EQ(SetX11RootWallpaper(WriteCodedFile(dir + "/32.bmp", 50, 30, 32, false), true).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x % 50, y % 30); });
    // A file cut short shows the rows it has (the bottom ten) and black above.
    ASSERT_EQ(SetX11RootWallpaper(WriteCodedFile(dir + "/cut.bmp", 50, 30, 24, false, 10), true).reason, "");
    ExpectScreen([](int x, int y) { return y % 30 >= 20 ? Coded(x % 50, y % 30) : kBlack; });
}

TEST_F(X11RootTest, PublishesItsPixmapAndFreesThePreviousOne) {
    const std::string picture = Picture(50, 30);
    ASSERT_TRUE(SetX11RootWallpaper(picture, true).ok);
    const auto first = Property("_XROOTPMAP_ID");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(Property("ESETROOT_PMAP_ID"), first);
    EXPECT_TRUE(PixmapExists(*first));  // it outlived the setter's connection

    ASSERT_TRUE(SetX11RootWallpaper(picture, false).ok);
    const auto second = Property("_XROOTPMAP_ID");
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(second, first);
    EXPECT_EQ(Property("ESETROOT_PMAP_ID"), second);
    EXPECT_FALSE(PixmapExists(*first));
    EXPECT_TRUE(PixmapExists(*second));

    ASSERT_TRUE(SetX11RootWallpaper("", false).ok);
    ExpectScreen([](int, int) { return kBlack; });
    EXPECT_FALSE(Property("_XROOTPMAP_ID").has_value());
    EXPECT_FALSE(Property("ESETROOT_PMAP_ID").has_value());
    EXPECT_FALSE(PixmapExists(*second));

    // A pixmap named by one property alone belongs to someone still using it.
    Display* d = server_.Get();
    const Pixmap theirs = XCreatePixmap(d, DefaultRootWindow(d), 8, 8, DefaultDepth(d, DefaultScreen(d)));
    const unsigned long value = theirs;
    XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
    ASSERT_TRUE(SetX11RootWallpaper(picture, true).ok);
    EXPECT_TRUE(PixmapExists(theirs));
}

// Setters at once: each finds the pixmap named on the root only once its
// owner has gone, so none kills a connection still in use (Xlib then ends
// the process with status 1).
TEST_F(X11RootTest, SettersAtOnceNeverKillEachOther) {
    const std::string picture = Picture(50, 30);
    std::vector<pid_t> setters;
    for (int i = 0; i < 3; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failed = 0;
            for (int round = 0; round < 12; ++round) failed += SetX11RootWallpaper(picture, round % 2 == 0).ok ? 0 : 1;
            ::_exit(failed == 0 ? 0 : 2);
        }
        setters.push_back(pid);
    }
    for (const pid_t pid : setters) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        // A connection the server drops while it is being made (2) is the
        // server's own, and seen beside other setters too.
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 1) << "status " << status;
    }
    const auto shown = Property("_XROOTPMAP_ID");
    ASSERT_TRUE(shown.has_value());
    EXPECT_TRUE(PixmapExists(*shown));
}

TEST_F(X11RootTest, TheProfileDecidesTilingAndRecordsThePath) {
    const std::string picture = Picture(50, 30);
    {
        registry::TRegistry reg;
        EXPECT_TRUE(reg.OpenKey("\\Control Panel\\desktop", true));
        reg.WriteString("TileWallPaper", "1");
    }
    ASSERT_EQ(SetDeskWallpaper(picture).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x % 50, y % 30); });
    registry::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Control Panel\\desktop", false));
    EXPECT_EQ(reg.ReadString("Wallpaper"), picture);
}

TEST_F(X11RootTest, FailuresAreNamed) {
    const std::string missing = box_.Dir() + "/missing.bmp";
    EXPECT_THAT(SetX11RootWallpaper(missing, true).reason, StartsWith("cannot read " + missing + ": "));
    std::ofstream(box_.Dir() + "/text.bmp") << "not a bitmap";
    EXPECT_THAT(SetX11RootWallpaper(box_.Dir() + "/text.bmp", true).reason, StartsWith("cannot read "));
    {
        const test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
        EXPECT_EQ(SetX11RootWallpaper(Picture(5, 5), true).reason, "no display: DISPLAY is not set");
    }
    const test::ScopedEnv gone("DISPLAY", ":199");
    EXPECT_EQ(SetX11RootWallpaper("", true).reason, "cannot open display :199");
}

// Ready before the picture is there, the drawing shows what it shows when it
// is made afterwards, every layout alike.
TEST_F(X11RootTest, APreparedDrawingShowsWhatAnUnpreparedOneShows) {
    struct Case {
        int width, height;
        bool tile;
        std::function<Rgb(int, int)> expected;
    };
    const std::vector<Case> cases = {
        {50, 30, true, [](int x, int y) { return Coded(x % 50, y % 30); }},
        {51, 31, false,
         [](int x, int y) {
             const int px = x - 294, py = y - 224;
             return (px >= 0 && px < 51 && py >= 0 && py < 31) ? Coded(px, py) : kBlack;
         }},
        {701, 500, false, [](int x, int y) { return Coded(x + 31, y + 10); }},
        {701, 500, true, [](int x, int y) { return Coded(x, y); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + (c.tile ? " tiled" : " centred"));
        const std::string picture = Picture(c.width, c.height);
        ASSERT_EQ(SetX11RootWallpaper(picture, c.tile).reason, "");
        ExpectScreen(c.expected);
        const ServerCount before = Count();
        const DesktopPreparation preparing;
        const std::set<XID> prepared = WaitForPreparation(before);
        ASSERT_EQ(SetX11RootWallpaper(picture, c.tile).reason, "");
        EXPECT_TRUE(ShownFrom(prepared));
        ExpectScreen(c.expected);
    }
}

// A monitor plugged in while the picture is decoded: the drawing is laid
// out for the monitors there are when it is made.
TEST_F(X11RootTest, AMonitorChangeAfterThePreparationGivesTheNewLayout) {
    const ServerCount before = Count();
    const DesktopPreparation preparing;
    WaitForPreparation(before);
    ASSERT_EQ(test::SetMonitors(server_, {{"*left", "320/85x480/127+0+0"}, {"right", "320/85x480/127+320+0"}}), "");
    ASSERT_EQ(SetX11RootWallpaper(Picture(51, 31), false).reason, "");
    // Centred on each half: 269 and 449 pixels to share.
    ExpectScreen([](int x, int y) {
        const int px = x % 320 - 134, py = y - 224;
        return (px >= 0 && px < 51 && py >= 0 && py < 31) ? Coded(px, py) : kBlack;
    });
}

// A preparation that no drawing takes (the change failed, or went to
// another desktop) ends its connections, and the server frees what it
// made; on other desktops there is none at all. One that cannot reach the
// server leaves the change to fail as it would have.
TEST_F(X11RootTest, AnUnusedPreparationLeavesNothingOnTheServer) {
    ASSERT_TRUE(SetX11RootWallpaper(Picture(50, 30), true).ok);
    const ServerCount before = Count();
    {
        const DesktopPreparation preparing;
        WaitForPreparation(before);
        EXPECT_THAT(SetX11RootWallpaper(box_.Dir() + "/missing.bmp", true).reason, StartsWith("cannot read "));
    }
    EXPECT_EQ(Count(), before);
    {
        const ForcedDesktop gnome(std::string("gnome"));
        const DesktopPreparation preparing;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(Count(), before);
    }
    {
        const test::ScopedEnv gone("DISPLAY", ":199");
        const DesktopPreparation preparing;
        EXPECT_EQ(SetX11RootWallpaper(Picture(5, 5), true).reason, "cannot open display :199");
    }
    EXPECT_EQ(Count(), before);
}

class X11RootModeTest : public X11RootTest {
protected:
    X11RootModeTest() : X11RootTest("800x600x24") {}
    // Switches the server's one output to 640 x 480, as a new monitor would.
    std::string SwitchTo640x480() const {
        const std::map<std::string, std::string> env{{"DISPLAY", server_.Name()}};
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--newmode", "640x480_t", "25", "640", "656", "752", "800", "480", "490",
                                       "492", "525"},
              {"--addmode", "screen", "640x480_t"},
              {"--output", "screen", "--mode", "640x480_t"}}) {
            test::Child xrandr("/usr/bin/xrandr", args, env, "");
            if (xrandr.Wait() != 0) return "xrandr " + args[0] + ": " + xrandr.Output();
        }
        return "";
    }
};

// The screen itself changing size meanwhile: nothing prepared for the old
// one shows.
TEST_F(X11RootModeTest, AScreenChangeAfterThePreparationGivesTheNewLayout) {
    const ServerCount before = Count();
    const DesktopPreparation preparing;
    WaitForPreparation(before);
    ASSERT_EQ(SwitchTo640x480(), "");
    ASSERT_EQ(SetX11RootWallpaper(Picture(51, 31), false).reason, "");
    ExpectScreen([](int x, int y) {
        const int px = x - 294, py = y - 224;
        return (px >= 0 && px < 51 && py >= 0 && py < 31) ? Coded(px, py) : kBlack;
    });
}

class X11Root16BitTest : public X11RootTest {
protected:
    X11Root16BitTest() : X11RootTest("640x480x16") {}
};

TEST_F(X11Root16BitTest, PacksPixelsByTheVisualsMasks) {
    ASSERT_EQ(SetX11RootWallpaper(Picture(50, 30), true).reason, "");
    ExpectScreen([](int x, int y) { return Coded(x % 50, y % 30); }, 8);
}

}  // namespace
}  // namespace vantoria::desktop
