// Every shipped plug-in declares the heads it takes, and keeps the promise:
// for no file of the fuzz corpora or test pictures in the tree does its
// IsSupported say yes where its declaration says no. A recogniser changed
// without its declaration fails here.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PluginHarness.h"
#include "imaging/PluginHeads.h"
#include "platform/posix/UniqueFd.h"

namespace fs = std::filesystem;
using vantoria::UniqueFd;
using vantoria::spi::test::Plugin;

TEST(DeclaredHeads, NoShippedPluginTakesAFileItsDeclarationRulesOut) {
    const char* data = std::getenv("VANTORIA_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const fs::path tests = fs::path(data).parent_path();
    std::vector<fs::path> files;
    for (const fs::path& root : {tests / "fuzz" / "corpus", tests / "data", tests.parent_path() / "data"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    }
    ASSERT_GT(files.size(), 1000u);

    for (const char* name : {"dib.spi", "gif.spi", "heif.spi", "jpeg.spi", "jxl.spi", "mag.spi", "mng.spi", "pi.spi",
                             "pic.spi", "pict.spi", "png.spi", "tiff.spi", "webp.spi", "xpm.spi"}) {
        SCOPED_TRACE(name);
        const auto declared = vantoria::imaging::ReadDeclaredHeads((fs::path(PLUGIN_DIR) / name).string());
        ASSERT_TRUE(declared) << "no declaration of its heads";
        const Plugin plugin(name);
        int taken = 0;
        for (const fs::path& file : files) {
            const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_TRUE(fd) << file;
            const auto head = vantoria::imaging::ReadFileHead(fd.Get());
            ASSERT_TRUE(head) << file;
            if (plugin.isSupported(file.c_str(), fd.Get()) == 0) continue;
            ++taken;
            EXPECT_TRUE(declared->Admits(*head)) << file << " is taken but ruled out";
        }
        EXPECT_GT(taken, 0) << "no file of its format in the tree";
    }
}
