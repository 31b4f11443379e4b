#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/RegIniFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryTestEnv.h"

namespace vantoria::registry {
namespace {

using test::RegistryTest;

TEST(ParseDecimalInt32, TakesOnlyDecimalInt32) {
    std::int32_t v = 7;
    EXPECT_TRUE(ParseDecimalInt32(" -2147483648 ", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ParseDecimalInt32("+5", v));
    EXPECT_EQ(v, 5);
    for (const char* bad : {"", " ", "abc", "12x", "0x10", "2147483648", "1.5", "--1", "+-1"}) {
        v = 7;
        EXPECT_FALSE(ParseDecimalInt32(bad, v)) << bad;
        EXPECT_EQ(v, 7) << bad;
    }
}

TEST_F(RegistryTest, IniFileWritesReachTheFileOnDestruction) {
    {
        TRegIniFile ini("Software\\Brightmoss");
        ini.WriteString("Runo", "Text", "a\"b");
        ini.WriteInteger("Runo", "Number", -12);
        ini.WriteString("Runo", "NotNumber", "12 apples");
        EXPECT_EQ(ini.ReadInteger("Runo", "Number", 0), -12);  // own writes visible at once
        EXPECT_FALSE(std::filesystem::exists(File()));        // batched until destruction
    }
    TRegIniFile ini("software\\BRIGHTMOSS");
    EXPECT_EQ(ini.ReadString("runo", "text", ""), "a\"b");
    EXPECT_EQ(ini.ReadInteger("Runo", "Number", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Runo", "NotNumber", 3), 3);
    EXPECT_EQ(ini.ReadInteger("Runo", "Missing", 4), 4);
    EXPECT_EQ(ini.ReadString("Other", "Text", "def"), "def");
}

TEST_F(RegistryTest, IniFileEraseSectionKeepsItsOwnKey) {
    {
        TRegIniFile ini("Software\\Brightmoss");
        ini.WriteString("Runo\\Deeper", "X", "1");
        ini.WriteString("Runo", "Y", "2");
        ini.WriteString("Keep", "Z", "3");
    }
    {
        TRegIniFile ini("Software\\Brightmoss");
        ini.EraseSection("Runo");
        ini.UpdateFile();
    }
    const RegistrySnapshot snapshot = ReadRegistryFile(File());
    EXPECT_TRUE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss"));
    EXPECT_TRUE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss\\Keep"));
    EXPECT_FALSE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo"));
    EXPECT_FALSE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo\\Deeper"));
}

TEST_F(RegistryTest, RegistryOpenKeyCreatesOnlyWhenAllowed) {
    {
        TRegistry reg;
        EXPECT_FALSE(reg.OpenKey("\\Control Panel\\Colors", false));
        EXPECT_FALSE(reg.HasCurrentKey());
        EXPECT_THROW(reg.WriteString("Background", "1"), RegistryError);
        EXPECT_TRUE(reg.KeyExists("\\Control Panel\\desktop"));  // the profile's, from the start
    }
    EXPECT_FALSE(std::filesystem::exists(File()));  // nothing to save, nothing created

    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software", true));
        ASSERT_TRUE(reg.OpenKey("Sub", true));  // relative to the open key
        EXPECT_EQ(reg.CurrentPath(), "Software\\Sub");
        reg.WriteString("V", "1");
        reg.CloseKey();
    }
    // The file now exists, seeded as a new profile.
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\control panel\\DESKTOP", false));
    EXPECT_EQ(reg.ReadString("TileWallPaper"), "0");
    reg.WriteString("TileWallPaper", "1");
    reg.CloseKey();
    EXPECT_TRUE(reg.OpenKey("\\Software\\Sub", false));
    EXPECT_EQ(reg.ReadString("V"), "1");
    EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Control Panel\\desktop]\n\"TileWallPaper\"=\"1\"\n"),
              std::string::npos);
}

}  // namespace
}  // namespace vantoria::registry
