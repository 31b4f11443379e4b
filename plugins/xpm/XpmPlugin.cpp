// XPM plug-in: X pixmaps (XPM 3 and XPM 2) parsed by libXpm. Colours are
// taken from the colour visual ("c"), else the grey or mono ones; they are
// "#" hex values of 1 to 4 digits a channel, or X11 colour names looked up in
// the system's rgb.txt. "None" (transparent) and names that cannot be found
// are black.

#include <X11/xpm.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DeclaredHeads.h"
#include "Limits.h"
#include "PluginError.h"
#include "PluginFormat.h"
#include "Freer.h"

namespace vantoria::spi {
namespace {

constexpr std::string_view kXpm3 = "/* XPM */", kXpm2 = "! XPM2";

bool Recognise(std::span<const std::uint8_t> head) {
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    return text.starts_with(kXpm3) || text.starts_with(kXpm2);
}

SUSIE_DECLARE_HEADS(2, Head(0, "/* XPM */"), Head(0, "! XPM2"));

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// "#RGB", "#RRGGBB", "#RRRGGGBBB" or "#RRRRGGGGBBBB", scaled to 8 bits.
bool ParseHex(std::string_view hex, Rgb& out) {
    if (hex.empty() || hex.size() % 3 != 0 || hex.size() > 12) return false;
    const std::size_t digits = hex.size() / 3;
    std::uint64_t channel[3];
    for (int c = 0; c < 3; ++c) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const char ch = hex[c * digits + i];
            if (!std::isxdigit(static_cast<unsigned char>(ch))) return false;
            value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : (std::tolower(ch) - 'a' + 10));
        }
        const std::uint64_t max = (std::uint64_t{1} << (4 * digits)) - 1;
        channel[c] = (value * 255 + max / 2) / max;
    }
    out = {static_cast<std::uint8_t>(channel[0]), static_cast<std::uint8_t>(channel[1]),
           static_cast<std::uint8_t>(channel[2])};
    return true;
}

// X11 names compare without case and spaces ("light grey" = "LightGrey").
std::string NameKey(std::string_view name) {
    std::string key;
    for (char ch : name)
        if (ch != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return key;
}

// The system's colour names, read once a picture that uses names.
class ColourNames {
public:
    bool Find(std::string_view name, Rgb& out) {
        if (!loaded_) Load();
        const auto found = names_.find(NameKey(name));
        if (found == names_.end()) return false;
        out = found->second;
        return true;
    }

private:
    void Load() {
        loaded_ = true;
        for (const char* path : {"/usr/share/X11/rgb.txt", "/etc/X11/rgb.txt"}) {
            std::FILE* file = std::fopen(path, "re");
            if (file == nullptr) continue;
            char line[256];
            while (std::fgets(line, sizeof line, file) != nullptr) {
                unsigned r = 0, g = 0, b = 0;
                int used = 0;
                if (line[0] == '!' || std::sscanf(line, "%u %u %u %n", &r, &g, &b, &used) != 3) continue;
                std::string_view name(line + used);
                while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
                names_.emplace(NameKey(name), Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                                       static_cast<std::uint8_t>(b)});
            }
            std::fclose(file);
            return;
        }
    }
    bool loaded_ = false;
    std::unordered_map<std::string, Rgb> names_;  // the first entry of a name counts
};

// libXpm's time grows with the square of the colour count; a picture can
// show no more colours than it has pixels, and none needs more than this.
constexpr long long kMaxColours = 16384;
// Two characters name 8464 colours, three over 778000: no picture needs more.
constexpr long long kMaxCharsPerPixel = 16;

// Where the values string of an XPM 3 text starts, found as libXpm finds
// it: the first '"' outside a comment (what lies in a comment, strings
// included, libXpm never reads).
std::size_t FirstString(const std::string& text) {
    std::size_t at = 0;
    for (;;) {
        at = text.find_first_of("\"/", at);
        if (at == std::string::npos || text[at] == '"') return at;
        if (text.compare(at, 2, "/*") != 0) {
            ++at;
            continue;
        }
        const std::size_t end = text.find("*/", at + 2);
        if (end == std::string::npos) return std::string::npos;
        at = end + 2;
    }
}

// The size and colour count from the values line, checked before libXpm
// sees the file: in XPM 3 the first string after the array's "{", in XPM 2
// the second line.
PictureSize ClaimedSize(const std::string& text) {
    const std::size_t at = text.starts_with(kXpm2) ? text.find('\n') : FirstString(text);
    long long width = 0, height = 0, colours = 0, charsPerPixel = 0;
    if (at == std::string::npos ||
        std::sscanf(text.c_str() + at + 1, "%lld %lld %lld %lld", &width, &height, &colours, &charsPerPixel) != 4)
        throw PluginError(SUSIE_ERR_BROKEN_DATA, "no values line");
    CheckSize(width, height);
    // libXpm allocates a buffer of this many characters before it reads one.
    if (charsPerPixel < 1 || charsPerPixel > kMaxCharsPerPixel)
        throw PluginError(SUSIE_ERR_BROKEN_DATA, "impossible characters per pixel");
    if (colours < 1 || colours > width * height) throw PluginError(SUSIE_ERR_BROKEN_DATA, "more colours than pixels");
    if (colours > kMaxColours) throw PluginError(SUSIE_ERR_NO_MEMORY, "too many colours");
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The text up to its first zero byte, where libXpm stops reading, a piece
// at a time: a picture padded with gigabytes of zeros costs nothing.
std::string ReadText(const Source& source) {
    std::string text;
    Reader reader(source);
    char piece[1 << 16];
    for (;;) {
        const std::size_t got = reader.Read(piece, sizeof piece);
        const void* zero = std::memchr(piece, 0, got);
        text.append(piece, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - piece) : got);
        if (zero || got < sizeof piece) return text;
    }
}

using XpmImageFree = Freer<XpmFreeXpmImage>;

constexpr std::size_t kTextGuard = 64;

class XpmDecoder final : public Decoder {
public:
    explicit XpmDecoder(const Source& source) : text_(ReadText(source)), size_(ClaimedSize(text_)) {
        // libXpm's buffer parser can step over the closing zero of a text
        // that ends inside a comment or a string and read on, one zero a
        // string it asks for: zeros past the end, enough for every row and
        // then some, keep each such read inside the text.
        text_.append(kTextGuard + static_cast<std::size_t>(size_.height), '\0');
    }

    PictureSize Size() const override { return size_; }

    void Decode(Dib24& out, Progress& progress) override {
        XpmImage image{};
        const int status = XpmCreateXpmImageFromBuffer(text_.data(), &image, nullptr);
        if (status == XpmNoMemory) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
        if (status != XpmSuccess) throw PluginError(SUSIE_ERR_BROKEN_DATA, "broken XPM data");
        std::unique_ptr<XpmImage, XpmImageFree> held(&image);
        if (image.width != static_cast<unsigned>(size_.width) || image.height != static_cast<unsigned>(size_.height))
            throw PluginError(SUSIE_ERR_BROKEN_DATA, "inconsistent size");

        std::vector<Rgb> palette(image.ncolors);
        ColourNames names;
        for (unsigned i = 0; i < image.ncolors; ++i) palette[i] = Resolve(image.colorTable[i], names);
        for (int y = 0; y < size_.height; ++y) {
            const unsigned* s = image.data + static_cast<std::size_t>(y) * image.width;
            std::uint8_t* d = out.Row(y);
            for (int x = 0; x < size_.width; ++x, d += 3) {
                const Rgb c = s[x] < palette.size() ? palette[s[x]] : Rgb{};
                d[0] = c.b, d[1] = c.g, d[2] = c.r;
            }
            progress.Report(y + 1, size_.height);
        }
    }

private:
    static Rgb Resolve(const XpmColor& colour, ColourNames& names) {
        const char* text = colour.c_color != nullptr    ? colour.c_color
                           : colour.g_color != nullptr  ? colour.g_color
                           : colour.g4_color != nullptr ? colour.g4_color
                                                        : colour.m_color;
        Rgb rgb;
        if (text == nullptr) return rgb;
        const std::string_view value(text);
        if (value.starts_with('#'))
            ParseHex(value.substr(1), rgb);
        else if (NameKey(value) != "none")
            names.Find(value, rgb);
        return rgb;
    }

    std::string text_;
    PictureSize size_;
};

std::unique_ptr<Decoder> Open(const Source& source) { return std::make_unique<XpmDecoder>(source); }

const char* const kInfo[] = {SUSIE_API_VERSION, "Vantoria XPM plug-in", "*.xpm", "X pixmaps"};

}  // namespace

const PluginFormat kPluginFormat = {kInfo, 4, kXpm3.size(), &Recognise, &Open};

}  // namespace vantoria::spi
