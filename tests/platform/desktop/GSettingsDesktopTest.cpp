// The GNOME family through the real gsettings tool, with settings kept in a
// private key file and, for desktops whose schemas are not installed here,
// small schemas of our own compiled into a private folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "compose/MonitorCompositions.h"
#include "platform/desktop/DeskWallpaper.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolRunner.h"
#include "platform/dib/Dib.h"
#include "platform/raster/Bitmap.h"
#include "platform/registry/Registry.h"
#include "platform/screen/Screen.h"
#include "settings/ApSystem.h"

namespace vantoria::desktop {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kOptionsEnum = R"(
  <enum id="test.picture-options">
    <value nick="none" value="0"/><value nick="wallpaper" value="1"/><value nick="centered" value="2"/>
    <value nick="scaled" value="3"/><value nick="stretched" value="4"/><value nick="zoom" value="5"/>
    <value nick="spanned" value="6"/>
  </enum>)";

std::string Schema(const std::string& id, const std::vector<std::string>& stringKeys) {
    std::string xml = "<schema id=\"" + id + "\" path=\"/" + id + "/\">\n";
    for (const auto& key : stringKeys) xml += "<key name=\"" + key + "\" type=\"s\"><default>''</default></key>\n";
    return xml + "<key name=\"picture-options\" enum=\"test.picture-options\"><default>'zoom'</default></key>\n</schema>\n";
}

// gsettings prints strings in GVariant text: single or double quotes,
// backslash escapes.
std::string Unquote(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.size() < 2) return "<not a string: " + text + ">";
    std::string value;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) ++i;
        value += text[i];
    }
    return value;
}

class GSettingsTest : public ::testing::Test {
protected:
    GSettingsTest() : box_("gnome") {
        std::filesystem::create_directories(schemas_);
        std::ofstream(schemas_ + "/test.gschema.xml")
            << "<schemalist>" << kOptionsEnum
            << Schema("org.cinnamon.desktop.background", {"picture-uri", "primary-color"})
            << Schema("org.mate.background", {"picture-filename"}) << "</schemalist>\n";
        const ToolResult compiled = RunTool({"glib-compile-schemas", schemas_});
        EXPECT_TRUE(compiled.ok) << compiled.reason;
    }

    std::string Get(const std::string& schema, const std::string& key) const {
        const ToolResult r = RunTool({"gsettings", "get", schema, key});
        return r.ok ? Unquote(r.output) : r.reason;
    }
    std::string Buffer() const {
        raster::Bitmap picture(2, 2);
        picture.Fill(1, 2, 3);
        picture.SaveToFile(box_.Dir() + "/Runo.bmp");
        return box_.Dir() + "/Runo.bmp";
    }
    void SetTile(bool tile) const {
        registry::TRegistry reg;
        EXPECT_TRUE(reg.OpenKey("\\Control Panel\\desktop", true));
        reg.WriteString("TileWallPaper", tile ? "1" : "0");
        reg.CloseKey();
    }
    std::string Copy() const {
        const auto copies = box_.CachedCopies();
        return copies.size() == 1 ? copies.front() : "<" + std::to_string(copies.size()) + " copies>";
    }

    test::DesktopSandbox box_;
    const test::ScopedEnv backend_{"GSETTINGS_BACKEND", "keyfile"};
    const std::string schemas_ = box_.Dir() + "/schemas";
    const test::ScopedEnv schemaDir_{"GSETTINGS_SCHEMA_DIR", schemas_};
};

TEST_F(GSettingsTest, GnomeGetsBothPicturesAndTheLayout) {
    // A picture of two colours' columns, tiled over a 5x3 screen.
    raster::Bitmap picture(2, 2);
    picture.Fill(1, 2, 3);
    picture.ScanLine(0)[3] = picture.ScanLine(1)[3] = 200;
    picture.SaveToFile(box_.Dir() + "/Runo.bmp");
    const std::string buffer = box_.Dir() + "/Runo.bmp";
    const std::string gnome = "org.gnome.desktop.background";
    SetTile(true);
    {
        // The shell scales its own tiles: it gets our tiling, as large as the
        // screen, centred.
        const test::ScopedEnv screen("VANTORIA_SCREEN", "5x3");
        ASSERT_EQ(SetDeskWallpaper(buffer).reason, "");
    }
    EXPECT_EQ(Get(gnome, "picture-uri"), FileUri(Copy()));
    EXPECT_EQ(Get(gnome, "picture-uri-dark"), FileUri(Copy()));
    EXPECT_EQ(Get(gnome, "picture-options"), "centered");
    const raster::Bitmap canvas = dib::LoadBmpFile(Copy());
    ASSERT_EQ(canvas.Width(), 5);
    ASSERT_EQ(canvas.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(canvas.ScanLine(y)[x * 3], x % 2 ? 200 : 1) << x << "," << y;
    for (const auto& entry : std::filesystem::directory_iterator(box_.CacheDir()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("canvas-"));  // not left behind
    SetTile(false);
    ASSERT_EQ(SetDeskWallpaper(buffer).reason, "");
    EXPECT_EQ(Get(gnome, "picture-options"), "centered");
    EXPECT_EQ(Get(gnome, "picture-uri"), FileUri(Copy()));

    ASSERT_EQ(SetDeskWallpaper("").reason, "");
    EXPECT_EQ(Get(gnome, "picture-options"), "none");
    EXPECT_EQ(Get(gnome, "picture-uri"), "");
    EXPECT_EQ(Get(gnome, "picture-uri-dark"), "");
}

// One picture across two monitors with a gap: one canvas of the box of
// both, each monitor's part in place, black where no monitor is.
TEST_F(GSettingsTest, OnePictureAcrossMonitorsIsOneSpannedCanvas) {
    const test::ScopedEnv monitors("VANTORIA_MONITORS", "40x30+0+0,20x10+40+10");
    auto colour = [](int x, int y) { return std::array<int, 3>{x * 4, y * 10, 77}; };
    raster::Bitmap picture(60, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            std::uint8_t* p = picture.ScanLine(y) + 3 * x;
            const auto c = colour(x, y);
            p[0] = static_cast<std::uint8_t>(c[2]);
            p[1] = static_cast<std::uint8_t>(c[1]);
            p[2] = static_cast<std::uint8_t>(c[0]);
        }
    TApSystem settings;
    std::string why;
    const MonitorComposer spanned =
        compose::ForSpannedMonitors(picture, settings, {0, false}, *CurrentMonitors(why));
    SetTile(false);
    for (const char* desktop : {"gnome", "cinnamon", "mate"}) {
        const test::ScopedEnv kind("VANTORIA_DESKTOP", desktop);
        ASSERT_EQ(SetDeskWallpaper(Buffer(), spanned).reason, "") << desktop;
        const std::string schema = std::string(desktop) == "gnome"      ? "org.gnome.desktop.background"
                                   : std::string(desktop) == "cinnamon" ? "org.cinnamon.desktop.background"
                                                                        : "org.mate.background";
        EXPECT_EQ(Get(schema, "picture-options"), "spanned") << desktop;
        const std::string shown = Copy();
        EXPECT_EQ(Get(schema, std::string(desktop) == "mate" ? "picture-filename" : "picture-uri"),
                  std::string(desktop) == "mate" ? shown : FileUri(shown));
        const raster::Bitmap canvas = dib::LoadBmpFile(shown);
        ASSERT_EQ(canvas.Width(), 60);
        ASSERT_EQ(canvas.Height(), 30);
        int wrong = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 60; ++x) {
                const bool onMonitor = x < 40 || (y >= 10 && y < 20);
                const bool onPicture = y >= 5 && y < 25;  // centred on the box
                const auto want = onMonitor && onPicture ? colour(x, y - 5) : std::array<int, 3>{0, 0, 0};
                const std::uint8_t* p = canvas.ScanLine(y) + 3 * x;
                wrong += std::array<int, 3>{p[2], p[1], p[0]} != want;
            }
        EXPECT_EQ(wrong, 0) << desktop;
    }
}

TEST_F(GSettingsTest, CinnamonAndMateUseTheirOwnKeys) {
    const std::string buffer = Buffer();
    SetTile(true);
    {
        const test::ScopedEnv cinnamon("VANTORIA_DESKTOP", "cinnamon");
        ASSERT_EQ(SetDeskWallpaper(buffer).reason, "");
        EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-uri"), FileUri(Copy()));
        EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-options"), "wallpaper");
        ASSERT_EQ(SetDeskWallpaper("").reason, "");
        EXPECT_EQ(Get("org.cinnamon.desktop.background", "picture-options"), "none");
    }
    // A plain path, so give it every character that needs quoting.
    const test::ScopedEnv cache("XDG_CACHE_HOME", box_.Dir() + "/it's \"odd\" \\ $(x); é");
    const test::ScopedEnv mate("VANTORIA_DESKTOP", "mate");
    SetTile(false);
    ASSERT_EQ(SetDeskWallpaper(buffer).reason, "");
    EXPECT_THAT(Copy(), StartsWith(box_.Dir() + "/it's \"odd\" \\ $(x); é/vantoria/wallpaper-"));
    EXPECT_EQ(Get("org.mate.background", "picture-filename"), Copy());
    EXPECT_EQ(Get("org.mate.background", "picture-options"), "centered");
    ASSERT_EQ(SetDeskWallpaper("").reason, "");
    EXPECT_EQ(Get("org.mate.background", "picture-filename"), "");
    EXPECT_EQ(Get("org.mate.background", "picture-options"), "centered");
}

TEST_F(GSettingsTest, AnOlderGnomeWithoutTheDarkPictureStillChanges) {
    std::ofstream(schemas_ + "/old.gschema.xml")
        << "<schemalist>" << Schema("org.gnome.desktop.background", {"picture-uri"}) << "</schemalist>\n";
    std::filesystem::remove(schemas_ + "/test.gschema.xml");  // its enum id would clash
    std::ofstream(schemas_ + "/enum.gschema.xml") << "<schemalist>" << kOptionsEnum << "</schemalist>\n";
    ASSERT_TRUE(RunTool({"glib-compile-schemas", schemas_}).ok);
    ASSERT_EQ(SetDeskWallpaper(Buffer()).reason, "");
    EXPECT_EQ(Get("org.gnome.desktop.background", "picture-uri"), FileUri(Copy()));
    EXPECT_THAT(Get("org.gnome.desktop.background", "picture-uri-dark"), HasSubstr("No such key"));
}

TEST_F(GSettingsTest, AMissingSchemaIsNamed) {
    // Only our own schemas are in sight, none of the machine's, which may
    // well hold the one that must be missing here.
    const std::string noData = box_.Dir() + "/no-data";
    std::filesystem::create_directories(noData);
    const test::ScopedEnv dataDirs("XDG_DATA_DIRS", noData);
    const test::ScopedEnv dataHome("XDG_DATA_HOME", noData);
    std::ofstream(schemas_ + "/test.gschema.xml")
        << "<schemalist>" << kOptionsEnum << Schema("org.mate.background", {"picture-filename"}) << "</schemalist>\n";
    ASSERT_TRUE(RunTool({"glib-compile-schemas", schemas_}).ok);
    const test::ScopedEnv cinnamon("VANTORIA_DESKTOP", "cinnamon");
    const DesktopResult result = SetDeskWallpaper(Buffer());
    EXPECT_FALSE(result.ok);
    EXPECT_THAT(result.reason, StartsWith("gsettings failed: No such schema"));
    EXPECT_THAT(result.reason, HasSubstr("org.cinnamon.desktop.background"));
    EXPECT_TRUE(box_.CachedCopies().empty());
}

}  // namespace
}  // namespace vantoria::desktop
