#pragma once
// A compiled message catalogue (the .mo files msgfmt writes): source text to
// translation. Read by the program itself, so that the choice of language
// never depends on which locales the machine has generated.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vantoria::i18n {

class MessageCatalogue {
public:
    // The catalogue in `bytes`, or nothing when they are not a well-formed
    // catalogue (bad magic, a table or a string outside the bytes). The
    // header entry and empty translations are left out; of a plural entry
    // only the singular is kept.
    [[nodiscard]] static std::optional<MessageCatalogue> Parse(std::string_view bytes);

    // The catalogue file at `path`; nothing when it is missing, too large or
    // malformed.
    [[nodiscard]] static std::optional<MessageCatalogue> Read(const std::string& path);

    // The translation of `source`, or null when the catalogue has none.
    [[nodiscard]] const std::string* Find(std::string_view source) const;

    [[nodiscard]] std::size_t size() const { return texts_.size(); }

private:
    std::unordered_map<std::string, std::string> texts_;
};

}  // namespace vantoria::i18n
