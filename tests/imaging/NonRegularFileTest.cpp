// Files that are no regular files (a FIFO above all, whose blocking open
// never returns) are refused before anything reads them.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/ImagingTestSupport.h"
#include "imaging/InChild.h"
#include "imaging/Spi_load.h"
#include "platform/dib/Dib.h"

namespace vantoria {
namespace {

using imagingtest::InChild;

class NonRegularFileTest : public ::testing::Test {
protected:
    std::string Fifo(const std::string& name) const {
        const std::string path = (box.Root() / name).string();
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        return path;
    }

    imagingtest::Sandbox box;
    TSpi_load loader;
};

TEST_F(NonRegularFileTest, ChosenPluginIsNotShownAFifoOrAFolder) {
    box.AddPlugin("accept", "a.spi");
    loader.SpiPathName = box.Folder("plugins");
    loader.LoadPlugins();
    ASSERT_TRUE(loader.SetFile(box.Picture("first.pic", "accept=a")));
    ASSERT_TRUE(loader.LoadPicture()) << loader.LastError();
    ASSERT_NE(loader.CurrentPlugin(), nullptr);
    box.ClearLog();

    // The plug-in chosen for the last picture stays chosen; it must not be
    // asked to open a FIFO, which it would do blocking.
    const std::string fifo = Fifo("x.png");
    const std::string folder = box.Folder("y.png");
    for (const std::string& path : {fifo, folder}) {
        EXPECT_EQ(InChild([&]() -> std::string {
                      if (loader.SetFile(path)) return "accepted";
                      if (loader.LoadPicture()) return "decoded";
                      return loader.LastError();
                  }),
                  path + " is not a regular file");
    }
    EXPECT_EQ(box.Log(), std::vector<std::string>{});
}

TEST_F(NonRegularFileTest, NativeReaderRefusesAFifo) {
    const std::string fifo = Fifo("x.bmp");
    const auto reason = [](auto read) {
        return InChild([&]() -> std::string {
            try {
                read();
                return "read";
            } catch (const dib::DibError& e) {
                return e.what();
            }
        });
    };
    EXPECT_EQ(reason([&] {
                  loader.SetFile(fifo);
                  static_cast<void>(loader.LoadPicture());
              }),
              fifo + " is not a regular file");
    // Also the bitmap reader on its own, in case the file is swapped for a
    // FIFO after the loader looked at it.
    EXPECT_EQ(reason([&] { dib::LoadBmpFile(fifo); }), fifo + " is not a regular file");
}

}  // namespace
}  // namespace vantoria
