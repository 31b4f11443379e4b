#include "imaging/SpiPlugin.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace vantoria {

namespace imaging {

void LibraryHandle::Closer::operator()(void* handle) const { ::dlclose(handle); }

namespace {

template <typename Fn>
Fn LookUp(const LibraryHandle& module, const char* name) {
    // POSIX guarantees that a data pointer from dlsym converts to a function
    // pointer.
    return reinterpret_cast<Fn>(::dlsym(module.Get(), name));
}

}  // namespace

std::unique_ptr<TSpi_plugin> LoadPluginLibrary(const std::string& path) {
    auto record = std::make_unique<TSpi_plugin>();
    record->LibraryPath = path;
    // dlopen would block on a FIFO and fails on a folder anyway.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        record->ErrorCode = kLibraryNotLoaded;
        return record;
    }
    record->Module = LibraryHandle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!record->Module) {
        (void)::dlerror();   // clear the pending message
        record->ErrorCode = kLibraryNotLoaded;
        return record;
    }
    record->IsSupported = LookUp<SusieIsSupportedFn>(record->Module, "IsSupported");
    record->GetPictureInfo = LookUp<SusieGetPictureInfoFn>(record->Module, "GetPictureInfo");
    record->GetPicture = LookUp<SusieGetPictureFn>(record->Module, "GetPicture");
    record->GetPreview = LookUp<SusieGetPreviewFn>(record->Module, "GetPreview");
    record->GetArchiveInfo = LookUp<SusieGetArchiveInfoFn>(record->Module, "GetArchiveInfo");
    record->GetFile = LookUp<SusieGetFileFn>(record->Module, "GetFile");
    record->GetPictureReduced = LookUp<SusieGetPictureReducedFn>(record->Module, "GetPictureReduced");
    (void)::dlerror();
    if (!record->Accepted()) record->ErrorCode = kMissingEntryPoint;
    return record;
}

bool PluginLibraryLoaded(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const LibraryHandle handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD));
    if (!handle) (void)::dlerror();
    return static_cast<bool>(handle);
}

}  // namespace imaging

TSpi_plugin::~TSpi_plugin() {
    // Unlink the rest of the list one node at a time, so that a long list
    // cannot exhaust the stack through nested destructors.
    std::shared_ptr<TSpi_plugin> next = std::move(Next);
    while (next && next.use_count() == 1) next = std::move(next->Next);
}

}  // namespace vantoria
