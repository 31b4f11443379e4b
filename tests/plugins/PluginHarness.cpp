#include "PluginHarness.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vantoria::spi::test {

namespace fs = std::filesystem;

namespace {

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

template <class Fn>
Fn Lookup(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

// Reads the two blocks of a successful GetPicture into `picture`.
void TakeBlocks(SusieHandle info, SusieHandle bits, Picture& picture) {
    ASSERT_TRUE(susie_block_valid(info));
    ASSERT_TRUE(susie_block_valid(bits));
    ASSERT_GE(susie_block_size(info), sizeof(SusieBitmapInfoHeader));
    SusieBitmapInfoHeader header;
    std::memcpy(&header, susie_block_data(info), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biCompression, static_cast<std::uint32_t>(SUSIE_BI_RGB));
    ASSERT_GT(header.biWidth, 0);
    ASSERT_GT(header.biHeight, 0);  // bottom-up
    picture.width = header.biWidth;
    picture.height = header.biHeight;
    const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
    ASSERT_GE(susie_block_size(bits), stride * picture.height);
    EXPECT_EQ(header.biSizeImage, stride * picture.height);
    const auto* rows = static_cast<const std::uint8_t*>(susie_block_data(bits));
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = rows + stride * (picture.height - 1 - y);
        for (int x = 0; x < picture.width; ++x) {
            std::uint8_t* d = &picture.rgb[(static_cast<std::size_t>(y) * picture.width + x) * 3];
            d[0] = row[3 * x + 2], d[1] = row[3 * x + 1], d[2] = row[3 * x];
        }
        for (std::size_t pad = picture.width * 3u; pad < stride; ++pad) EXPECT_EQ(row[pad], 0);
    }
}

Picture DecodeWith(const Plugin& plugin, const char* buf, std::intptr_t len, std::int32_t flag) {
    Picture picture;
    picture.infoCode = plugin.getPictureInfo(buf, len, flag, &picture.info);
    SusieHandle info = nullptr, bits = nullptr;
    picture.code = plugin.getPicture(buf, len, flag, &info, &bits, nullptr, 0);
    if (picture.code == SUSIE_OK) {
        TakeBlocks(info, bits, picture);
        if (picture.infoCode == SUSIE_OK) {
            // Copies: members of the packed record must not be bound to references.
            const SusiePictureInfo record = picture.info;
            const int width = record.width, height = record.height, depth = record.colorDepth;
            const SusieHandle text = record.hInfo;
            EXPECT_EQ(width, picture.width);
            EXPECT_EQ(height, picture.height);
            EXPECT_EQ(depth, 24);
            EXPECT_EQ(text, nullptr);
        }
    } else {
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    susie_block_free(info);
    susie_block_free(bits);
    return picture;
}

}  // namespace

Plugin::Plugin(const std::string& fileName) {
    const std::string path = std::string(PLUGIN_DIR) + "/" + fileName;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
        return;
    }
    isSupported = Lookup<SusieIsSupportedFn>(handle_, "IsSupported");
    getPictureInfo = Lookup<SusieGetPictureInfoFn>(handle_, "GetPictureInfo");
    getPicture = Lookup<SusieGetPictureFn>(handle_, "GetPicture");
    getPreview = Lookup<SusieGetPreviewFn>(handle_, "GetPreview");
    getArchiveInfo = Lookup<SusieGetArchiveInfoFn>(handle_, "GetArchiveInfo");
    getFile = Lookup<SusieGetFileFn>(handle_, "GetFile");
    getPluginInfo = Lookup<SusieGetPluginInfoFn>(handle_, "GetPluginInfo");
}

Plugin::~Plugin() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::int32_t Plugin::Supports(const fs::path& path) const {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << path;
        return 0;
    }
    const std::int32_t answer = isSupported(path.c_str(), fd);
    ::close(fd);
    return answer;
}

std::string Plugin::Info(std::int32_t infono, std::int32_t buflen) const {
    std::vector<char> buf(static_cast<std::size_t>(buflen) + 1, '#');
    const std::int32_t n = getPluginInfo(infono, buf.data(), buflen);
    if (n == 0) return {};
    EXPECT_LT(n, buflen);
    EXPECT_EQ(buf[n], '\0');
    EXPECT_EQ(buf[buflen], '#');  // nothing written past buflen
    return std::string(buf.data(), n);
}

Picture Decode(const Plugin& plugin, const fs::path& path, std::intptr_t offset) {
    return DecodeWith(plugin, path.c_str(), offset, SUSIE_INPUT_FILE);
}

Picture DecodeMemory(const Plugin& plugin, const std::vector<std::uint8_t>& bytes) {
    return DecodeWith(plugin, reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::intptr_t>(bytes.size()), SUSIE_INPUT_MEMORY);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vantoria-spi-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool Convert(const std::string& args) {
    return std::system(("convert " + args + " 2>/dev/null").c_str()) == 0;
}

std::vector<std::uint8_t> Reference(const fs::path& path) {
    const fs::path out = path.string() + ".ref.rgb";
    if (!Convert(Quote(path.string() + "[0]") + " -background black -flatten -alpha off -depth 8 rgb:" +
                 Quote(out))) {
        ADD_FAILURE() << "convert could not decode " << path;
        return {};
    }
    return ReadFile(out);
}

int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vantoria::spi::test
