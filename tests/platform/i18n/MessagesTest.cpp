#include "change/ExecRunAp.h"
#include "platform/i18n/MessageCatalogue.h"
#include "platform/i18n/Messages.h"

#include "support/Child.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace vantoria;
using namespace vantoria::i18n;
using namespace vantoria::test;

namespace {

const std::string kEnglishCatalogue = std::string(VANTORIA_BUILD_LOCALE_DIR) + "/en/LC_MESSAGES/vantoria.mo";

TEST(MessagesTest, CatalogueReadsTheCompiledFileAndRefusesDamagedOnes) {
    const std::string bytes = ReadFile(kEnglishCatalogue);
    const auto catalogue = MessageCatalogue::Parse(bytes);
    ASSERT_TRUE(catalogue);
    ASSERT_NE(catalogue->Find(kCannotStartMessage), nullptr);
    EXPECT_EQ(catalogue->Find(""), nullptr);  // the header is no text

    // Every cut and every table word pointed far away is refused, not read past.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7)
        EXPECT_FALSE(MessageCatalogue::Parse(std::string_view(bytes).substr(0, cut))) << cut;
    for (std::size_t at = 8; at < 28 + 16 * catalogue->size(); at += 4) {
        std::string bad = bytes;
        bad.replace(at, 4, "\xff\xff\xff\x7f");
        const auto parsed = MessageCatalogue::Parse(bad);
        if (parsed) {
            EXPECT_LE(parsed->size(), catalogue->size()) << at;
        }
    }

    // A catalogue written on a big-endian machine reads the same.
    std::string swapped = bytes;
    const std::size_t words = 7 + 4 * (catalogue->size() + 1);
    for (std::size_t w = 0; w < words && w * 4 + 4 <= swapped.size(); ++w)
        std::reverse(swapped.begin() + static_cast<std::ptrdiff_t>(w * 4),
                     swapped.begin() + static_cast<std::ptrdiff_t>(w * 4 + 4));
    const auto big = MessageCatalogue::Parse(swapped);
    ASSERT_TRUE(big);
    EXPECT_EQ(*big->Find(kCannotStartMessage), *catalogue->Find(kCannotStartMessage));

    // Japanese needs no catalogue; English without one falls back to the source.
    LoadMessages(Language::English, VANTORIA_BUILD_LOCALE_DIR);
    EXPECT_STRNE(Translate(kCannotStartMessage), kCannotStartMessage);
    LoadMessages(Language::Japanese, VANTORIA_BUILD_LOCALE_DIR);
    EXPECT_STREQ(Translate(kCannotStartMessage), kCannotStartMessage);
    TempDir empty;
    LoadMessages(Language::English, empty.Path());
    EXPECT_STREQ(Translate(kCannotStartMessage), kCannotStartMessage);
}

// The language of vantoria-change's messages follows the one rule, also when
// the user's locale is not generated on the machine (LOCPATH to an empty
// folder: the C library then knows no locale but C).
TEST(MessagesTest, ChangeProgramSpeaksTheUsersLanguage) {
    TempDir config, work, noLocales;
    const std::string japanese = "vantoria-change: 壁紙を作成できません。";
    const std::string english = "vantoria-change: Cannot create the wallpaper.";
    struct Case {
        std::map<std::string, std::string> env;
        std::string expected;
    };
    const Case cases[] = {
        {{{"LANG", "C"}}, japanese},
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}, japanese},
        {{{"LANG", "ja_JP.UTF-8"}}, japanese},
        {{{"LANG", "en_US.UTF-8"}}, english},
        {{{"LANG", "de_DE.UTF-8"}}, english},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, japanese},
        {{{"LANG", "en_US.UTF-8"}, {"LOCPATH", noLocales.Path()}}, english},
    };
    std::string helpInC;
    for (const Case& c : cases) {
        std::map<std::string, std::string> env{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""},
                                               {"XDG_CONFIG_HOME", config.Path()}, {"VANTORIA_SCREEN", "64x48"},
                                               {"VANTORIA_DESKTOP", "none"}};
        for (const auto& [name, value] : c.env) env[name] = value;
        Child run(VANTORIA_CHANGE_PROGRAM, {work.Path() + "/missing.bmp"}, env, work.Path());
        EXPECT_EQ(run.Wait(), 1);
        EXPECT_EQ(run.Output().rfind(c.expected, 0), 0u) << c.env.begin()->second << ": " << run.Output();
        // The program's own English texts are the same in every language.
        Child help(VANTORIA_CHANGE_PROGRAM, {"--help"}, env, work.Path());
        EXPECT_EQ(help.Wait(), 0);
        if (helpInC.empty()) helpInC = help.Output();
        EXPECT_EQ(help.Output(), helpInC);
    }
}

}  // namespace
