// Scanning the plug-in folder: which libraries make the list, in what order,
// and what happens to the others.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/ImagingTestSupport.h"
#include "imaging/SpiPlugin.h"
#include "imaging/Spi_load.h"

namespace vantoria {
namespace {

using imagingtest::Sandbox;

// The path each record's library was loaded from, in list order.
std::vector<std::string> ListedPaths(const std::shared_ptr<TSpi_plugin>& list) {
    std::vector<std::string> paths;
    for (auto p = list; p; p = p->Next) {
        Dl_info info{};
        EXPECT_NE(::dladdr(reinterpret_cast<void*>(p->IsSupported), &info), 0);
        paths.emplace_back(info.dli_fname ? info.dli_fname : "?");
    }
    return paths;
}

bool IsLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) ::dlclose(handle);
    return handle != nullptr;
}

TEST(LoadPlugins, ListsAcceptedLibrariesInByteOrderOfNames) {
    Sandbox box;
    const std::string dir = box.Folder("plugins");
    for (const char* name : {"b.SPI", "a.spi", "C.spi", "_x.Spi", "d.spix", "e.so"}) {
        box.AddPlugin("accept", name);
    }
    box.AddPlugin("no_getpictureinfo", "j.spi");
    box.AddPlugin("no_getpicture", "h.spi");
    box.AddPlugin("no_issupported", "i.spi");
    box.Write("../plugins/g.spi", "not a library");
    std::filesystem::create_directory(dir + "/f.spi");

    TSpi_load loader;
    loader.SpiPathName = dir;
    loader.LoadPlugins();

    EXPECT_EQ(ListedPaths(loader.PluginList()),
              (std::vector<std::string>{dir + "/C.spi", dir + "/_x.Spi", dir + "/a.spi",
                                        dir + "/b.SPI", dir + "/j.spi"}));
    for (auto p = loader.PluginList(); p; p = p->Next) {
        EXPECT_TRUE(p->Module && p->IsSupported && p->GetPicture);
        EXPECT_EQ(p->ErrorCode, 0u);
    }
    EXPECT_EQ(loader.PluginList()->Next->Next->Next->Next->GetPictureInfo, nullptr);
    EXPECT_EQ(loader.CurrentPlugin(), nullptr);   // scanning chooses nothing

    // Rejected libraries are unloaded at once; accepted ones stay.
    EXPECT_FALSE(IsLoaded(dir + "/h.spi"));
    EXPECT_FALSE(IsLoaded(dir + "/i.spi"));
    EXPECT_TRUE(IsLoaded(dir + "/a.spi"));

    // The same folder scanned again gives the same list.
    const auto before = ListedPaths(loader.PluginList());
    loader.LoadPlugins();
    EXPECT_EQ(ListedPaths(loader.PluginList()), before);
}

TEST(LoadPlugins, RejectedRecordsSayWhy) {
    Sandbox box;
    const auto missing = imaging::LoadPluginLibrary(box.AddPlugin("no_getpicture", "h.spi"));
    EXPECT_FALSE(missing->Accepted());
    EXPECT_TRUE(missing->Module);
    EXPECT_NE(missing->IsSupported, nullptr);
    EXPECT_EQ(missing->ErrorCode, imaging::kMissingEntryPoint);
    EXPECT_EQ(imaging::LoadPluginLibrary(box.Write("t.spi", "text"))->ErrorCode,
              imaging::kLibraryNotLoaded);
    EXPECT_EQ(imaging::LoadPluginLibrary(box.Folder("d.spi"))->ErrorCode,
              imaging::kLibraryNotLoaded);
}

TEST(LoadPlugins, ScanThatAcceptsNothingKeepsTheOldList) {
    Sandbox box;
    box.AddPlugin("accept", "a.spi", "good");
    box.AddPlugin("no_getpicture", "b.spi", "bad");
    TSpi_load loader;
    loader.SpiPathName = box.Folder("good");
    loader.LoadPlugins();
    const std::shared_ptr<TSpi_plugin> list = loader.PluginList();
    ASSERT_NE(list, nullptr);

    for (const std::string& folder : {box.Folder("bad"), box.Folder("empty"),
                                      (box.Root() / "missing").string()}) {
        loader.SpiPathName = folder;
        loader.LoadPlugins();
        EXPECT_EQ(loader.PluginList(), list) << folder;
    }

    // A plug-in added later is found by the next scan.
    box.AddPlugin("accept", "c.spi", "bad");
    loader.SpiPathName = box.Folder("bad");
    loader.LoadPlugins();
    EXPECT_EQ(ListedPaths(loader.PluginList()),
              std::vector<std::string>{box.Folder("bad") + "/c.spi"});
}

TEST(LoadPlugins, FolderPathIsJoinedLiterally) {
    Sandbox box;
    const std::string dir = box.Folder("plugins");
    box.AddPlugin("accept", "a.spi");
    TSpi_load loader;
    loader.SpiPathName = dir + "/";
    loader.LoadPlugins();
    EXPECT_EQ(ListedPaths(loader.PluginList()), std::vector<std::string>{dir + "//a.spi"});
}

}  // namespace
}  // namespace vantoria
