#include <gtest/gtest.h>

#include "platform/registry/RegistryModel.h"
#include "platform/registry/RegistryText.h"

namespace vantoria::registry {
namespace {

const char* kRuno = "HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo";

TEST(RegistryText, RoundTripKeepsEveryKindOfText) {
    RegistryModel model;
    model.SetValue(kRuno, "Quote", "say \"hi\"");
    model.SetValue(kRuno, "Backslash", "C:\\dir\\");
    model.SetValue(kRuno, "Japanese", "壁紙の変更(&W)...");
    model.SetValue(kRuno, "Brackets", "a=b]c\"=\"[x]");
    model.SetValue(kRuno, "Lines", "one\ntwo\r\n");
    model.SetValue(kRuno, "odd \"name\" = \\", "v");
    model.SetValue(kRuno, "", "default");
    model.SetValue(kRuno, "Empty", "");
    model.CreateKey("HKEY_CURRENT_USER\\Empty key");

    const std::string text = FormatRegistryText(model);
    ParseReport report;
    EXPECT_EQ(ParseRegistryText(text, report), model);
    EXPECT_TRUE(report.Clean()) << report.Describe();
    EXPECT_NE(text.find("\"Backslash\"=\"C:\\\\dir\\\\\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos) << text;
}

TEST(RegistryModel, KeysAndValuesKeepOrderSpellingAndIgnoreCase) {
    RegistryModel model;
    model.SetValue(kRuno, "B", "1");
    model.SetValue(kRuno, "A", "2");
    model.SetValue("HKEY_CURRENT_USER\\SOFTWARE\\brightmoss\\RUNO", "b", "3");  // same key, same value

    ASSERT_EQ(model.Keys().size(), 3u);  // Software, Software\Brightmoss, ...\Runo
    EXPECT_EQ(model.Keys()[0].Path(), "HKEY_CURRENT_USER\\Software");
    const RegistryKey& runo = model.Keys()[2];
    EXPECT_EQ(runo.Path(), kRuno);
    ASSERT_EQ(runo.Values().size(), 2u);
    EXPECT_EQ(runo.Values()[0], (RegistryValue{"B", "3"}));
    EXPECT_EQ(runo.Values()[1], (RegistryValue{"A", "2"}));
    EXPECT_TRUE(model.HasKey("hkey_current_user\\software\\BRIGHTMOSS"));
}

TEST(RegistryModel, EraseTakesSubkeysButNotParentOrLookalikeSibling) {
    RegistryModel model;
    model.SetValue("HKEY_CURRENT_USER\\A\\B\\C", "x", "1");
    model.SetValue("HKEY_CURRENT_USER\\A\\B", "y", "2");
    model.SetValue("HKEY_CURRENT_USER\\A\\BC", "z", "3");

    EXPECT_TRUE(model.EraseKey("HKEY_CURRENT_USER\\a\\b"));
    EXPECT_TRUE(model.HasKey("HKEY_CURRENT_USER\\A"));
    EXPECT_TRUE(model.HasKey("HKEY_CURRENT_USER\\A\\BC"));
    EXPECT_FALSE(model.HasKey("HKEY_CURRENT_USER\\A\\B"));
    EXPECT_FALSE(model.HasKey("HKEY_CURRENT_USER\\A\\B\\C"));
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\A\\BC", "z"), "3");
    EXPECT_FALSE(model.EraseKey("HKEY_CURRENT_USER\\A\\B"));
}

TEST(RegistryText, DamagedTextKeepsWhatCanBeRead) {
    const std::string text =
        "[HKEY_CURRENT_USER\\K]\n"            // no header line
        "\"Good\"=\"1\"\r\n"
        "garbage here\n"
        "\"Dword\"=dword:00000002\n"
        "[not a key]\n"
        "\"Lost\"=\"under a bad key\"\n"
        "[HKEY_CURRENT_USER\\K]\n"
        "  \"Spaced\" = \"ok\"  \n"
        "; a comment\n"
        "\"Bad\xff\"=\"\xe3\x81\"\n"          // invalid UTF-8, still readable
        "\"Cut\"=\"/home/u";                    // cut off mid-line
    ParseReport report;
    const RegistryModel model = ParseRegistryText(text, report);
    EXPECT_TRUE(report.missingHeader);
    EXPECT_TRUE(report.invalidEncoding);
    EXPECT_EQ(report.skippedLines, 5u);
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\K", "Good"), "1");
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\K", "Spaced"), "ok");
    EXPECT_TRUE(model.Value("HKEY_CURRENT_USER\\K", "Bad\uFFFD").has_value());  // bad bytes become U+FFFD
    EXPECT_FALSE(model.Value("HKEY_CURRENT_USER\\K", "Cut"));
    EXPECT_EQ(model.Keys().size(), 1u);
}

TEST(RegistryText, ReadsUtf16ExportsAndEmptyText) {
    const std::u16string wide = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"V\"=\"壁紙\"\r\n";
    const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);  // little endian host
    ParseReport report;
    EXPECT_EQ(ParseRegistryText(bytes, report).Value("HKEY_CURRENT_USER\\K", "V"), "壁紙");
    EXPECT_TRUE(report.Clean()) << report.Describe();

    ParseReport empty;
    EXPECT_TRUE(ParseRegistryText("", empty).Keys().empty());
    EXPECT_TRUE(empty.missingHeader);
}

}  // namespace
}  // namespace vantoria::registry
