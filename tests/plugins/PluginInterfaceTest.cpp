// What every shipped plug-in shares: recognition by content, GetPluginInfo,
// the two kinds of input (a file from an offset, memory), the progress
// callback, the entry points it leaves unimplemented, and bad arguments.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PluginHarness.h"
#include "imaging/InChild.h"

namespace vantoria::spi::test {
namespace {

struct Kind {
    const char* plugin;
    const char* name;
    const char* pattern;
    const char* format;  // ImageMagick's name for it
    const char* extension;
};

void PrintTo(const Kind& k, std::ostream* os) { *os << k.plugin; }

const Kind kKinds[] = {
    {"png.spi", "Vantoria PNG plug-in", "*.png", "PNG32", ".png"},
    {"jpeg.spi", "Vantoria JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif", "JPEG", ".jpg"},
    {"gif.spi", "Vantoria GIF plug-in", "*.gif", "GIF", ".gif"},
    {"dib.spi", "Vantoria DIB plug-in", "*.dib", "BMP3", ".dib"},
};

class EveryPlugin : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        ASSERT_NE(plugin_.getPluginInfo, nullptr);
        ASSERT_TRUE(Convert(std::string("-size 40x30 -seed 1 plasma: ") + GetParam().format + ":'" +
                            sample_.string() + "'"));
    }
    TempDir dir_;
    Plugin plugin_{GetParam().plugin};
    std::filesystem::path sample_ = dir_ / "sample";
};

TEST_P(EveryPlugin, DescribesItselfAndLeavesTheRestUnimplemented) {
    EXPECT_EQ(plugin_.Info(0), "00IN");
    EXPECT_EQ(plugin_.Info(1), GetParam().name);
    EXPECT_EQ(plugin_.Info(2), GetParam().pattern);
    EXPECT_FALSE(plugin_.Info(3).empty());
    EXPECT_EQ(plugin_.Info(4), "");
    EXPECT_EQ(plugin_.Info(-1), "");
    EXPECT_EQ(plugin_.Info(1, 9), "Vantoria");  // truncated, zero-terminated
    char untouched = '#';
    EXPECT_EQ(plugin_.getPluginInfo(1, &untouched, 0), 0);
    EXPECT_EQ(plugin_.getPluginInfo(1, &untouched, -3), 0);
    EXPECT_EQ(plugin_.getPluginInfo(1, nullptr, 10), 0);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(plugin_.getPluginInfo(1, &untouched, 1), 0);  // room for the zero only
    EXPECT_EQ(untouched, '\0');

    SusieHandle info = nullptr, bits = nullptr;
    char dest[16] = {};
    ASSERT_NE(plugin_.getPreview, nullptr);
    ASSERT_NE(plugin_.getArchiveInfo, nullptr);
    ASSERT_NE(plugin_.getFile, nullptr);
    EXPECT_EQ(plugin_.getPreview(sample_.c_str(), 0, 0, &info, &bits, nullptr, 0), SUSIE_ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(plugin_.getArchiveInfo(sample_.c_str(), 0, 0, &info), SUSIE_ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(plugin_.getFile(sample_.c_str(), 0, dest, 0, nullptr, 0), SUSIE_ERR_NOT_IMPLEMENTED);
}

TEST_P(EveryPlugin, RecognisesByContentOnly) {
    // The sample under every other plug-in's extension: still only this one
    // takes it.
    for (const Kind& other : kKinds) {
        const auto renamed = dir_ / (std::string("renamed") + other.extension);
        std::filesystem::copy_file(sample_, renamed);
        EXPECT_NE(plugin_.Supports(renamed), 0) << renamed;
        if (std::string(other.plugin) != GetParam().plugin) {
            EXPECT_EQ(Plugin(other.plugin).Supports(renamed), 0) << other.plugin;
        }
    }
    // Asking leaves the descriptor where it was; a bad descriptor is a no.
    const int fd = ::open(sample_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_NE(plugin_.isSupported("any.name", fd), 0);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0);
    ::close(fd);
    EXPECT_EQ(plugin_.isSupported(sample_.c_str(), -1), 0);
    // Too short, and text that starts like a bitmap file.
    const auto odd = dir_ / "odd";
    WriteFile(odd, {ReadFile(sample_).front()});
    EXPECT_EQ(plugin_.Supports(odd), 0);
    WriteFile(odd, {'B', 'M', 'W', ' ', 'i', 's', ' ', 'a', ' ', 'c', 'a', 'r', ';', ' ', 'i', 't', ' ', 'i', 's', '.'});
    EXPECT_EQ(plugin_.Supports(odd), 0);
}

TEST_P(EveryPlugin, ReadsFromAnOffsetAndFromMemory) {
    const Picture plain = Decode(plugin_, sample_);
    ASSERT_EQ(plain.code, SUSIE_OK);

    const std::vector<std::uint8_t> bytes = ReadFile(sample_);
    std::vector<std::uint8_t> embedded(333 + bytes.size(), 0x5A);
    std::copy(bytes.begin(), bytes.end(), embedded.begin() + 333);
    const auto container = dir_ / "container.bin";
    WriteFile(container, embedded);
    const Picture atOffset = Decode(plugin_, container, 333);
    ASSERT_EQ(atOffset.code, SUSIE_OK);
    EXPECT_EQ(atOffset.rgb, plain.rgb);
    EXPECT_NE(Decode(plugin_, container, 0).code, SUSIE_OK);

    const Picture fromMemory = DecodeMemory(plugin_, bytes);
    ASSERT_EQ(fromMemory.code, SUSIE_OK);
    EXPECT_EQ(fromMemory.rgb, plain.rgb);
}

TEST_P(EveryPlugin, RefusesBadArguments) {
    SusiePictureInfo info{};
    SusieHandle hInfo = nullptr, hBits = nullptr;
    const char* path = sample_.c_str();
    EXPECT_EQ(plugin_.getPictureInfo(path, 0, 0, nullptr), SUSIE_ERR_MEMORY);
    EXPECT_EQ(plugin_.getPicture(path, 0, 0, nullptr, &hBits, nullptr, 0), SUSIE_ERR_MEMORY);
    EXPECT_EQ(plugin_.getPicture(path, 0, 0, &hInfo, nullptr, nullptr, 0), SUSIE_ERR_MEMORY);
    const auto missing = dir_ / "missing";
    EXPECT_EQ(plugin_.getPicture(missing.c_str(), 0, 0, &hInfo, &hBits, nullptr, 0), SUSIE_ERR_FILE_READ);
    for (const char* name : {missing.c_str(), dir_.Path().c_str(), static_cast<const char*>(nullptr)})
        EXPECT_EQ(plugin_.getPictureInfo(name, 0, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, -1, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, 1 << 30, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, 0, 2, &info), SUSIE_ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(plugin_.getPictureInfo(nullptr, 10, SUSIE_INPUT_MEMORY, &info), SUSIE_ERR_MEMORY);
    EXPECT_EQ(hInfo, nullptr);
    EXPECT_EQ(hBits, nullptr);
}

// A FIFO would block the plug-in's open forever; it is refused at once.
TEST_P(EveryPlugin, RefusesAFifoWithoutWaiting) {
    const auto fifo = dir_ / (std::string("fifo") + GetParam().extension);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string answer = imagingtest::InChild([&] {
        SusiePictureInfo info{};
        SusieHandle hInfo = nullptr, hBits = nullptr;
        const std::int32_t infoCode = plugin_.getPictureInfo(fifo.c_str(), 0, 0, &info);
        const std::int32_t code = plugin_.getPicture(fifo.c_str(), 0, 0, &hInfo, &hBits, nullptr, 0);
        return std::to_string(infoCode) + " " + std::to_string(code) +
               (hInfo || hBits ? " with blocks" : "");
    });
    const std::string refused = std::to_string(SUSIE_ERR_FILE_READ);
    EXPECT_EQ(answer, refused + " " + refused);
}

// What the progress callback saw; the callback answers "stop" on call stopAt.
struct Calls {
    int count = 0;
    int stopAt = -1;
    bool sane = true;  // lData passed through, 0 <= num <= denom, num never falls
    int last = -1;
};
Calls* gCalls = nullptr;

std::int32_t Callback(std::int32_t num, std::int32_t denom, std::int32_t lData) {
    Calls& calls = *gCalls;
    calls.sane = calls.sane && lData == 4711 && num >= calls.last && num <= denom;
    calls.last = num;
    return calls.count++ == calls.stopAt ? 1 : 0;
}

TEST_P(EveryPlugin, ReportsProgressAndStopsWhenAsked) {
    for (int stopAt : {-1, 0, 1}) {
        Calls calls;
        calls.stopAt = stopAt;
        gCalls = &calls;
        SusieHandle info = nullptr, bits = nullptr;
        const std::int32_t code = plugin_.getPicture(sample_.c_str(), 0, 0, &info, &bits, &Callback, 4711);
        EXPECT_TRUE(calls.sane);
        if (stopAt < 0) {
            EXPECT_EQ(code, SUSIE_OK);
            EXPECT_GE(calls.count, 2);
            EXPECT_EQ(calls.last, 30);
        } else {
            EXPECT_EQ(code, SUSIE_ERR_CANCELLED);
            EXPECT_EQ(calls.count, stopAt + 1);
            EXPECT_EQ(info, nullptr);
            EXPECT_EQ(bits, nullptr);
        }
        susie_block_free(info);
        susie_block_free(bits);
    }
    gCalls = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Shipped, EveryPlugin, testing::ValuesIn(kKinds), [](const auto& info) {
    return std::filesystem::path(info.param.plugin).stem().string();
});

}  // namespace
}  // namespace vantoria::spi::test
