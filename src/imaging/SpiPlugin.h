#pragma once
// One image plug-in library: a node of the loader's plug-in list.

#include <cstdint>
#include <memory>
#include <string>

#include "susie.h"

namespace vantoria {

namespace imaging {

// A handle from dlopen, closed with dlclose by its destructor.
class LibraryHandle {
public:
    LibraryHandle() = default;
    explicit LibraryHandle(void* handle) : handle_(handle) {}
    void* Get() const { return handle_.get(); }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
};

// ErrorCode values of a rejected record.
inline constexpr std::uint32_t kLibraryNotLoaded = 126;   // not a loadable library
inline constexpr std::uint32_t kMissingEntryPoint = 127;  // no IsSupported or GetPicture

}  // namespace imaging

// Records are shared: the loader's list holds them, and the loader's
// CurrentPlugin keeps the record (and so its library) it chose alive after a
// later scan has replaced the list.
struct TSpi_plugin {
    std::uint32_t ErrorCode = 0;
    imaging::LibraryHandle Module;
    std::shared_ptr<TSpi_plugin> Next;
    SusieIsSupportedFn IsSupported = nullptr;
    SusieGetPictureInfoFn GetPictureInfo = nullptr;
    SusieGetPictureFn GetPicture = nullptr;
    // Looked up and kept, never called.
    SusieGetPreviewFn GetPreview = nullptr;
    SusieGetArchiveInfoFn GetArchiveInfo = nullptr;
    SusieGetFileFn GetFile = nullptr;
    // Optional; null for most plug-ins.
    SusieGetPictureReducedFn GetPictureReduced = nullptr;
    // The path it was loaded from, for messages and for a later decode that
    // must ask the same plug-in again.
    std::string LibraryPath;

    TSpi_plugin() = default;
    ~TSpi_plugin();
    TSpi_plugin(const TSpi_plugin&) = delete;
    TSpi_plugin& operator=(const TSpi_plugin&) = delete;

    // A record the list may hold: loaded, with IsSupported and GetPicture.
    bool Accepted() const { return Module && IsSupported && GetPicture; }
};

namespace imaging {

// Loads the library at `path` (dlopen, RTLD_NOW | RTLD_LOCAL) and looks up
// the six entry points in field order, then the optional GetPictureReduced. Anything but a regular file is not
// loaded. A record that is not Accepted() carries kLibraryNotLoaded or
// kMissingEntryPoint in ErrorCode; dropping it unloads its library.
std::unique_ptr<TSpi_plugin> LoadPluginLibrary(const std::string& path);

// Whether the library at `path` is loaded in this process already, so that
// loading it again runs none of its code and costs next to nothing.
bool PluginLibraryLoaded(const std::string& path);

}  // namespace imaging

}  // namespace vantoria
