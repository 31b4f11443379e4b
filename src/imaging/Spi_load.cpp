#include "imaging/Spi_load.h"

#include <algorithm>
#include <new>
#include <utility>

#include "imaging/DecodeHelper.h"
#include "imaging/FileExtension.h"
#include "platform/memory/MemoryBudget.h"
#include "imaging/NativePicture.h"
#include "imaging/PluginFolder.h"
#include "imaging/PluginPicture.h"
#include "platform/dib/DibHeader.h"
#include "imaging/PluginResult.h"
#include "platform/dib/DibError.h"
#include "platform/posix/RegularFile.h"

namespace vantoria {

using imaging::SusieBlock;

TSpi_load::TSpi_load() = default;
TSpi_load::~TSpi_load() = default;

imaging::DecodeHelper& TSpi_load::Helper() {
    if (!helper_) helper_ = std::make_unique<imaging::DecodeHelper>();
    return *helper_;
}

void TSpi_load::LoadPlugins() {
    // The old list stays until the scan is done, so that the libraries it
    // shares with the new one are not unloaded and loaded again meanwhile.
    const std::shared_ptr<TSpi_plugin> previous = pluginList_;
    BeginPluginScan();
    while (LoadNextPlugin()) {
    }
}

void TSpi_load::BeginPluginScan() {
    scan_ = Scan{};
    refused_.clear();
    if (std::string why = imaging::PluginFolderProblem(SpiPathName); !why.empty()) {
        // Nothing of it is used, not even what an earlier scan found there.
        refused_.push_back(std::move(why));
        pluginList_.reset();
        return;
    }
    for (const std::string& name : imaging::ListPluginFiles(SpiPathName)) {
        std::string path = SpiPathName + "/" + name;
        if (std::string why = imaging::PluginFileProblem(path); !why.empty()) {
            refused_.push_back(std::move(why));
            continue;
        }
        scan_.paths.push_back(std::move(path));
    }
}

bool TSpi_load::LoadNextPlugin() {
    if (scan_.next >= scan_.paths.size()) return false;
    const std::string& path = scan_.paths[scan_.next++];
    if (OnPluginCall) OnPluginCall(path);   // its constructors run here
    std::shared_ptr<TSpi_plugin> record = imaging::LoadPluginLibrary(path);
    Left();
    if (!record->Accepted()) return true;   // dropping it unloads the library
    if (scan_.last) {
        scan_.last->Next = record;
    } else {
        pluginList_ = record;
    }
    scan_.last = std::move(record);
    ++scan_.accepted;
    return true;
}

void TSpi_load::SkipNextPlugin() {
    if (scan_.next < scan_.paths.size()) ++scan_.next;
}

std::string TSpi_load::NextPluginPath() const {
    return scan_.next < scan_.paths.size() ? scan_.paths[scan_.next] : std::string();
}

void TSpi_load::ContinueCheck(std::size_t refused, std::function<void()> atEnd) {
    skipInCheck_ = refused;
    atCheckEnd_ = std::move(atEnd);
}

bool TSpi_load::SetFile(const std::string& name) {
    fileExt_ = imaging::FileExtOf(name);
    fileName_ = name;
    return CheckFile();
}

bool TSpi_load::CheckFile() {
    const std::size_t skip = std::exchange(skipInCheck_, 0);
    const std::function<void()> atEnd = std::exchange(atCheckEnd_, nullptr);
    if (imaging::IsNativeExtension(fileExt_)) return true;
    std::size_t at = 0;
    for (std::shared_ptr<TSpi_plugin> plugin = pluginList_; plugin; plugin = plugin->Next) {
        if (at++ < skip) continue;
        // A fresh descriptor for every plug-in, at the start of the file and
        // closed after the answer. One that cannot be opened is shown to no
        // plug-in.
        const UniqueFd fd = OpenRegularFile(fileName_.c_str());
        if (!fd) continue;
        Entering(*plugin);
        const bool accepted = plugin->IsSupported(fileName_.c_str(), fd.Get()) != 0;
        Left();
        if (accepted) {
            currentPlugin_ = plugin;
            return true;
        }
    }
    if (atEnd && scan_.next < scan_.paths.size()) atEnd();
    return false;
}

bool TSpi_load::LoadPicture(std::optional<raster::ScreenSize> atLeast) {
    bitmap_.reset();
    bitmap_.emplace();
    pictureSize_ = {};
    lastError_.clear();
    if (imaging::IsNativeExtension(fileExt_)) {
        *bitmap_ = imaging::LoadNativePicture(fileName_);
        pictureSize_ = {bitmap_->Width(), bitmap_->Height()};
        if (!bitmap_->Empty()) return true;
    }
    return LoadThroughPlugin(Save ? std::nullopt : atLeast);
}

void TSpi_load::FreePicture() { bitmap_.reset(); }

void TSpi_load::Entering(const TSpi_plugin& plugin) const {
    if (OnPluginCall) OnPluginCall(plugin.LibraryPath);
}

void TSpi_load::Left() const {
    if (OnPluginCall) OnPluginCall({});
}

bool TSpi_load::Fail(std::string reason) {
    lastError_ = std::move(reason);
    return false;
}

bool TSpi_load::FailConversion(std::string reason, std::int32_t code) {
    errer = code;
    return Fail(std::move(reason));
}

namespace {

// A reduced picture from GetPictureReduced: its size, when the header says
// it is one the caller may use (no larger than the picture, no smaller than
// asked); nothing otherwise, and the picture is then decoded whole.
std::optional<raster::ScreenSize> ReducedSize(const SusieBlock& info, raster::ScreenSize full,
                                              raster::ScreenSize atLeast) {
    try {
        const dib::DibInfo header = dib::ReadDibHeader(info.Bytes());
        const raster::ScreenSize got{header.width, header.height};
        const bool fits = got.width <= full.width && got.height <= full.height &&
                          got.width >= std::min(atLeast.width, full.width) &&
                          got.height >= std::min(atLeast.height, full.height);
        if (fits) return got;
    } catch (const dib::DibError&) {
    }
    return std::nullopt;
}

}  // namespace

bool TSpi_load::LoadThroughPlugin(std::optional<raster::ScreenSize> atLeast) {
    // Held here, so the plug-in stays loaded for the whole decode.
    const std::shared_ptr<TSpi_plugin> plugin = currentPlugin_;
    if (!plugin) {
        // No plug-in was shown a file that does not open: say why it does not.
        if (!OpenRegularFile(fileName_.c_str())) throw imaging::SpiError(OpenFailure(fileName_));
        throw imaging::SpiError("no image plug-in reads " + fileName_);
    }
    if (!plugin->GetPictureInfo) {
        throw imaging::SpiError("the image plug-in chosen for " + fileName_ +
                                " cannot tell the picture's size (no GetPictureInfo)");
    }
    const char* name = fileName_.c_str();
    // The plug-in opens the file by name and may block on it (a FIFO never
    // answers), so it is shown only a file that opens as a regular one here.
    // The shipped plug-ins refuse anything else themselves too, should the
    // file be swapped in between.
    if (!OpenRegularFile(name)) return Fail(OpenFailure(fileName_));

    SusiePictureInfo info{};
    Entering(*plugin);
    const std::int32_t infoResult = plugin->GetPictureInfo(name, 0, SUSIE_INPUT_FILE, &info);
    Left();
    if (infoResult != SUSIE_OK)
        return Fail("the image plug-in cannot read " + fileName_ + imaging::WithPluginReason(infoResult));
    SusieBlock text(info.hInfo);
    const int width = info.width;
    const int height = info.height;
    try {
        imaging::CheckReportedSize(width, height);
    } catch (const dib::DibError& e) {
        return FailConversion(e.what(), imaging::kErrerBadData);
    }
    // Asked before the plug-in allocates the picture, which it may do
    // without a check of its own.
    if (const std::string problem = imaging::PictureMemoryProblem(width, height); !problem.empty())
        return FailConversion(fileName_ + ": " + problem, imaging::kErrerNoMemory);
    if (OnPictureSize) OnPictureSize(width, height);
    color_bit = info.colorDepth;
    text.Reset();
    pictureSize_ = {width, height};

    // The picture is allocated once, by the plug-in. Only a failure leaves
    // the bitmap at the reported size, holding no picture: black, and the
    // system gives its pages only when they are touched.
    bool ok = true;
    SusieHandle infoHandle = nullptr;
    SusieHandle bitsHandle = nullptr;
    raster::ScreenSize delivered{width, height};
    Entering(*plugin);
    if (atLeast && plugin->GetPictureReduced) {
        // Whatever goes wrong here, the picture is decoded whole below.
        const bool done = plugin->GetPictureReduced(name, 0, SUSIE_INPUT_FILE, atLeast->width, atLeast->height,
                                                    &infoHandle, &bitsHandle, nullptr, 0) == SUSIE_OK;
        SusieBlock reducedInfo(done ? infoHandle : nullptr), reducedBits(done ? bitsHandle : nullptr);
        infoHandle = bitsHandle = nullptr;
        if (const auto size = done ? ReducedSize(reducedInfo, delivered, *atLeast) : std::nullopt) {
            delivered = *size;
            infoHandle = reducedInfo.Release();
            bitsHandle = reducedBits.Release();
        }
    }
    std::int32_t code = SUSIE_OK;
    if (!infoHandle) code = plugin->GetPicture(name, 0, SUSIE_INPUT_FILE, &infoHandle, &bitsHandle, nullptr, 0);
    Left();
    if (code != SUSIE_OK) {
        // A failing plug-in leaves no block for the caller.
        ok = Fail("the image plug-in failed to decode " + fileName_ + imaging::WithPluginReason(code));
    } else {
        try {
            *bitmap_ = imaging::ConvertPluginPicture(delivered.width, delivered.height, SusieBlock(infoHandle),
                                                     SusieBlock(bitsHandle));
        } catch (const dib::DibError& e) {
            ok = FailConversion(e.what(), imaging::kErrerBadData);
        } catch (const raster::RasterError& e) {
            ok = FailConversion(e.what(), imaging::kErrerNoMemory);
        } catch (const std::bad_alloc&) {
            ok = FailConversion("not enough memory for the picture", imaging::kErrerNoMemory);
        }
    }
    if (!ok) {
        try {
            bitmap_->SetSize(width, height);
        } catch (const raster::RasterError& e) {
            FailConversion(e.what(), imaging::kErrerNoMemory);
        }
    }
    if (Save) bitmap_->SaveToFile(SFName);
    return ok;
}

}  // namespace vantoria
