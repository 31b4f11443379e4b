#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>

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
        "\"Bad\xff\"=\"\xe3\x81\"\n"          // not UTF-8: read byte for byte
        "\"Cut\"=\"/home/u";                    // cut off mid-line
    ParseReport report;
    const RegistryModel model = ParseRegistryText(text, report);
    EXPECT_TRUE(report.missingHeader);
    EXPECT_FALSE(report.invalidEncoding);
    EXPECT_EQ(report.skippedLines, 5u);
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\K", "Good"), "1");
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\K", "Spaced"), "ok");
    EXPECT_EQ(model.Value("HKEY_CURRENT_USER\\K", "Bad\xff"), "\xe3\x81");
    EXPECT_FALSE(model.Value("HKEY_CURRENT_USER\\K", "Cut"));
    EXPECT_EQ(model.Keys().size(), 1u);
}

std::string Repeat(std::string_view part, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += part;
    return out;
}

// Keys nest at most 512 levels below the hive, names are at most 255 UTF-16
// characters, and a file cannot make the model hold more than a small
// multiple of its own size in key paths. Lines past those limits are damaged
// lines; everything else is kept.
TEST(RegistryText, HostileKeysAreSkippedAndTheRestKept) {
    const std::string hkcu = "HKEY_CURRENT_USER";
    const std::string deepest = hkcu + Repeat("\\d", 512);
    const std::string longest = hkcu + "\\" + Repeat("n", 255);
    const std::string widest = hkcu + "\\" + Repeat("\U0001F600", 127) + "x";  // 254 + 1 units
    std::string text = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Good]\n\"V\"=\"1\"\n";
    const std::string accepted[] = {deepest, longest, widest};
    for (const std::string& key : accepted) text += "[" + key + "]\n\"In\"=\"yes\"\n";
    const std::string rejected[] = {
        deepest + "\\d",
        hkcu + Repeat("\\a", 200000),
        longest + "n",
        hkcu + "\\" + Repeat("\U0001F600", 128),
    };
    for (const std::string& key : rejected) text += "[" + key + "]\n\"Lost\"=\"x\"\n";
    // Many lines near both limits, each wanting ~34 MB of ancestor paths.
    for (char first = 'a'; first <= 'z'; ++first)
        text += "[" + hkcu + "\\" + first + Repeat("\\" + Repeat("w", 255), 511) + "]\n";
    text += "[HKEY_CURRENT_USER\\Good]\n\"After\"=\"2\"\n";

    ParseReport report;
    const RegistryModel model = ParseRegistryText(text, report);
    EXPECT_EQ(report.skippedLines, 2 * std::size(rejected) + 26);
    EXPECT_EQ(model.Value(hkcu + "\\Good", "V"), "1");
    EXPECT_EQ(model.Value(hkcu + "\\Good", "After"), "2");
    for (const std::string& key : accepted) EXPECT_EQ(model.Value(key, "In"), "yes") << key.size();
    EXPECT_FALSE(model.HasKey(rejected[0]));
    EXPECT_TRUE(model.HasKey(hkcu + "\\d\\d"));  // ancestors of the deepest key, in order
    EXPECT_EQ(model.Keys()[1].Path(), hkcu + "\\d");
    std::size_t pathBytes = 0;
    for (const RegistryKey& key : model.Keys()) pathBytes += key.Path().size();
    EXPECT_LE(pathBytes, 2 * text.size() + (1u << 20));
}

TEST(RegistryText, ReadsUtf16ExportsAndEmptyText) {
    const std::u16string wide = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"V\"=\"壁紙\"\r\n";
    const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);  // little endian host
    ParseReport report;
    EXPECT_EQ(ParseRegistryText(bytes, report).Value("HKEY_CURRENT_USER\\K", "V"), "壁紙");
    EXPECT_TRUE(report.Clean()) << report.Describe();

    // Big endian, a character beyond the first plane; a lone surrogate and
    // an odd last byte are replaced and reported.
    const auto bigEndian = [](std::u16string_view text) {
        std::string out;
        for (const char16_t u : text) out += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
        return out;
    };
    const std::u16string head = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"V\"=\"";
    ParseReport wide2;
    EXPECT_EQ(ParseRegistryText(bigEndian(head + u"\U0001F5BC\"\r\n"), wide2).Value("HKEY_CURRENT_USER\\K", "V"),
              "\U0001F5BC");
    EXPECT_TRUE(wide2.Clean()) << wide2.Describe();
    ParseReport lone;
    EXPECT_EQ(ParseRegistryText(bigEndian(head + u"a\xD800" u"b\"\r\n") + "x", lone).Value("HKEY_CURRENT_USER\\K", "V"),
              "a\uFFFDb");
    EXPECT_TRUE(lone.invalidEncoding);

    ParseReport empty;
    EXPECT_TRUE(ParseRegistryText("", empty).Keys().empty());
    EXPECT_TRUE(empty.missingHeader);
}

}  // namespace
}  // namespace vantoria::registry
