#include "platform/i18n/Language.h"

#include <gtest/gtest.h>

using namespace vantoria::i18n;

namespace {

Language Choose(std::string_view language, std::string_view lcAll, std::string_view lcMessages,
                std::string_view lang) {
    return ChooseLanguage(UserLanguages(language, lcAll, lcMessages, lang));
}

}  // namespace

TEST(LanguageTest, EnvironmentPrecedenceAsTheCLibraryReadsIt) {
    EXPECT_EQ(UserLanguages("", "", "", ""), std::vector<std::string>{});
    EXPECT_EQ(UserLanguages("", "", "", "en_GB.UTF-8@euro"), std::vector<std::string>{"en_GB"});
    // LC_ALL over LC_MESSAGES over LANG; LANGUAGE's list first.
    EXPECT_EQ(UserLanguages("de:en_US", "ja_JP.UTF-8", "fr_FR", "it_IT"),
              (std::vector<std::string>{"de", "en_US", "ja_JP"}));
    EXPECT_EQ(UserLanguages("", "", "fr_FR.UTF-8", "it_IT"), std::vector<std::string>{"fr_FR"});
    // LANGUAGE means nothing in the C locale, or with no locale at all.
    EXPECT_EQ(UserLanguages("en", "", "", "C.UTF-8"), std::vector<std::string>{"C"});
    EXPECT_EQ(UserLanguages("en", "", "", ""), std::vector<std::string>{});
    EXPECT_EQ(UserLanguages("::en::", "", "", "POSIX"), std::vector<std::string>{"POSIX"});
}

TEST(LanguageTest, SourceTextsForCAndJapaneseEnglishOtherwise) {
    EXPECT_EQ(Choose("", "", "", ""), Language::Japanese);
    EXPECT_EQ(Choose("", "", "", "C.UTF-8"), Language::Japanese);
    EXPECT_EQ(Choose("en", "", "", "C"), Language::Japanese);
    EXPECT_EQ(Choose("", "", "", "ja_JP.UTF-8"), Language::Japanese);
    EXPECT_EQ(Choose("", "", "", "en_US.UTF-8"), Language::English);
    // The first language the program has wins; others are passed over.
    EXPECT_EQ(Choose("de:ja:en", "", "", "de_DE.UTF-8"), Language::Japanese);
    EXPECT_EQ(Choose("", "", "", "de_DE.UTF-8"), Language::English);
    EXPECT_EQ(ChooseLanguage({"EN-us"}), Language::English);
    EXPECT_EQ(ChooseLanguage({"fr-FR", "ja-JP", "en"}), Language::Japanese);
    EXPECT_EQ(CatalogueName(Language::Japanese), "");
    EXPECT_EQ(CatalogueName(Language::English), "en");
}
