// What every shipped plug-in shares: recognition by content, GetPluginInfo,
// the input kinds (file at an offset, memory), the progress callback, the
// entry points it does not implement, and bad arguments.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Kind {
    const char* plugin;
    const char* name;
    const char* pattern;
    const char* sample;  // convert arguments for a sample file
    const char* extension;
};

void PrintTo(const Kind& k, std::ostream* os) { *os << k.plugin; }

const Kind kKinds[] = {
    {"png.spi", "Vantoria PNG plug-in", "*.png", "-size 40x30 -seed 1 plasma: PNG32:", ".png"},
    {"jpeg.spi", "Vantoria JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif", "-size 40x30 -seed 1 plasma: JPEG:", ".jpg"},
    {"gif.spi", "Vantoria GIF plug-in", "*.gif", "-size 40x30 -seed 1 plasma: GIF:", ".gif"},
    {"dib.spi", "Vantoria DIB plug-in", "*.dib", "-size 40x30 -seed 1 plasma: BMP3:", ".dib"},
};

class EveryPlugin : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        ASSERT_NE(plugin_.getPicture, nullptr);
        sample_ = dir_ / (std::string("sample") + GetParam().extension);
        ASSERT_TRUE(Convert(std::string(GetParam().sample) + "'" + sample_.string() + "'"));
    }
    TempDir dir_;
    Plugin plugin_{GetParam().plugin};
    std::filesystem::path sample_;
};

TEST_P(EveryPlugin, ExportsTheWholeInterface) {
    EXPECT_NE(plugin_.isSupported, nullptr);
    EXPECT_NE(plugin_.getPictureInfo, nullptr);
    EXPECT_NE(plugin_.getPreview, nullptr);
    EXPECT_NE(plugin_.getArchiveInfo, nullptr);
    EXPECT_NE(plugin_.getFile, nullptr);
    ASSERT_NE(plugin_.getPluginInfo, nullptr);

    SusieHandle info = nullptr, bits = nullptr;
    EXPECT_EQ(plugin_.getPreview(sample_.c_str(), 0, 0, &info, &bits, nullptr, 0), SUSIE_ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(plugin_.getArchiveInfo(sample_.c_str(), 0, 0, &info), SUSIE_ERR_NOT_IMPLEMENTED);
    char dest[16] = {};
    EXPECT_EQ(plugin_.getFile(sample_.c_str(), 0, dest, 0, nullptr, 0), SUSIE_ERR_NOT_IMPLEMENTED);
}

TEST_P(EveryPlugin, DescribesItself) {
    EXPECT_EQ(plugin_.Info(0), "00IN");
    EXPECT_EQ(plugin_.Info(1), GetParam().name);
    EXPECT_EQ(plugin_.Info(2), GetParam().pattern);
    EXPECT_FALSE(plugin_.Info(3).empty());
    EXPECT_EQ(plugin_.Info(4), "");
    EXPECT_EQ(plugin_.Info(-1), "");
    EXPECT_EQ(plugin_.Info(1, 9), "Vantoria");  // truncated, zero-terminated
    char one = '#';
    EXPECT_EQ(plugin_.getPluginInfo(1, &one, 0), 0);
    EXPECT_EQ(one, '#');
}

TEST_P(EveryPlugin, RecognisesByContentOnly) {
    // The same bytes under every other extension: only this plug-in takes them.
    for (const Kind& other : kKinds) {
        const auto renamed = dir_ / (std::string("renamed") + other.extension);
        std::filesystem::copy_file(sample_, renamed, std::filesystem::copy_options::overwrite_existing);
        EXPECT_NE(plugin_.Supports(renamed), 0) << other.extension;
        Plugin otherPlugin(other.plugin);
        if (std::string(other.plugin) != GetParam().plugin) {
            EXPECT_EQ(otherPlugin.Supports(renamed), 0) << other.plugin;
        }
    }
    // Asking leaves the descriptor where it was; a bad descriptor is a no.
    const int fd = ::open(sample_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_NE(plugin_.isSupported("ignored.name", fd), 0);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0);
    ::close(fd);
    EXPECT_EQ(plugin_.isSupported(sample_.c_str(), -1), 0);
    const auto tiny = dir_ / "tiny";
    WriteFile(tiny, {ReadFile(sample_).front()});
    EXPECT_EQ(plugin_.Supports(tiny), 0);
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
    const auto missing = dir_ / "missing.file";
    EXPECT_EQ(plugin_.getPictureInfo(missing.c_str(), 0, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPicture(missing.c_str(), 0, 0, &hInfo, &hBits, nullptr, 0), SUSIE_ERR_FILE_READ);
    const auto folder = std::filesystem::temp_directory_path();
    EXPECT_EQ(plugin_.getPictureInfo(folder.c_str(), 0, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, -1, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, 1 << 30, 0, &info), SUSIE_ERR_FILE_READ);
    EXPECT_EQ(plugin_.getPictureInfo(path, 0, 2, &info), SUSIE_ERR_NOT_IMPLEMENTED);
    EXPECT_EQ(hInfo, nullptr);
    EXPECT_EQ(hBits, nullptr);
}

struct Calls {
    int count = 0;
    int stopAt = -1;  // answer "stop" on this call
    bool sawLData = true;
    bool ordered = true;
    int last = -1;
};
Calls* gCalls = nullptr;

std::int32_t Callback(std::int32_t num, std::int32_t denom, std::int32_t lData) {
    Calls& calls = *gCalls;
    calls.sawLData = calls.sawLData && lData == 4711;
    calls.ordered = calls.ordered && num >= calls.last && num <= denom && denom > 0;
    calls.last = num;
    return calls.count++ == calls.stopAt ? 1 : 0;
}

TEST_P(EveryPlugin, ReportsProgressAndStopsWhenAsked) {
    Calls calls;
    gCalls = &calls;
    SusieHandle info = nullptr, bits = nullptr;
    ASSERT_EQ(plugin_.getPicture(sample_.c_str(), 0, 0, &info, &bits, &Callback, 4711), SUSIE_OK);
    susie_block_free(info);
    susie_block_free(bits);
    EXPECT_GE(calls.count, 2);
    EXPECT_TRUE(calls.sawLData);
    EXPECT_TRUE(calls.ordered);
    EXPECT_EQ(calls.last, 30);

    for (int stopAt : {0, calls.count - 1}) {
        Calls stopping;
        stopping.stopAt = stopAt;
        gCalls = &stopping;
        info = bits = nullptr;
        EXPECT_EQ(plugin_.getPicture(sample_.c_str(), 0, 0, &info, &bits, &Callback, 4711), SUSIE_ERR_CANCELLED);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(bits, nullptr);
        EXPECT_EQ(stopping.count, stopAt + 1);
    }
    gCalls = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Shipped, EveryPlugin, testing::ValuesIn(kKinds), [](const auto& info) {
    return std::filesystem::path(info.param.plugin).stem().string();
});

}  // namespace
}  // namespace vantoria::spi::test
