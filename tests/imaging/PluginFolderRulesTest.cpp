// Plug-ins others could have written are never loaded: a folder or library
// that belongs to another user or that others can write to, directly or
// where a link leads.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "ImagingTestSupport.h"
#include "imaging/DecodePicture.h"
#include "imaging/Spi_load.h"
#include "support/RecordingReporter.h"

using namespace vantoria;
using imagingtest::Sandbox;
namespace fs = std::filesystem;

namespace {

TEST(PluginFolderRules, ForeignOrWritableFoldersAndLibrariesAreRefusedByName) {
    Sandbox box;
    box.AddPlugin("accept", "a.spi");
    const std::string b = box.AddPlugin("accept", "b.spi");
    const std::string c = box.AddPlugin("accept", "c.spi");
    const std::string folder = box.Folder("plugins");
    fs::permissions(b, fs::perms::others_write, fs::perm_options::add);
    ASSERT_EQ(::chown(c.c_str(), 12345, static_cast<gid_t>(-1)), 0);
    // A link in the sound folder to a library in a folder anyone can write.
    const std::string open = box.Folder("open");
    fs::permissions(open, fs::perms::all);
    fs::copy_file(b, open + "/d.spi");
    fs::permissions(open + "/d.spi", fs::perms::others_write, fs::perm_options::remove);
    fs::create_symlink(open + "/d.spi", folder + "/d.spi");

    TSpi_load loader;
    loader.SpiPathName = folder;
    loader.LoadPlugins();
    ASSERT_TRUE(loader.PluginList());
    EXPECT_EQ(loader.PluginList()->LibraryPath, folder + "/a.spi");
    EXPECT_FALSE(loader.PluginList()->Next);
    EXPECT_EQ(loader.RefusedPlugins(),
              (std::vector<std::string>{"the plug-in " + b + " is not used: other users can write to it",
                                        "the plug-in " + c + " is not used: it belongs to another user (uid 12345)",
                                        "the plug-in " + folder + "/d.spi is not used: the plug-in folder " + open +
                                            " is not used: other users can write to it"}));

    // Read all the same by a.spi: each refusal is told once.
    vantoria::test::RecordingReporter reporter;
    SetReporter(&reporter);
    EXPECT_TRUE(imaging::DecodePicture(loader, box.Picture("p.tst")).picture);
    EXPECT_TRUE(imaging::DecodePicture(loader, box.Picture("q.tst")).picture);
    SetReporter(nullptr);
    EXPECT_EQ(reporter.messages.size(), 3u);

    // A folder others can write to gives nothing, and the failure says why.
    fs::permissions(folder, fs::perms::others_write, fs::perm_options::add);
    const imaging::DecodedPicture refused = imaging::DecodePicture(loader, box.Picture("r.tst"));
    EXPECT_FALSE(refused.picture);
    EXPECT_NE(refused.failure.find("the plug-in folder " + folder + " is not used: other users can write to it"),
              std::string::npos)
        << refused.failure;
}

}  // namespace
