#include "imaging/Spi_load.h"

#include <new>
#include <utility>

#include "imaging/FileExtension.h"
#include "platform/memory/MemoryBudget.h"
#include "imaging/NativePicture.h"
#include "imaging/PluginFolder.h"
#include "imaging/PluginPicture.h"
#include "platform/dib/DibError.h"
#include "platform/posix/RegularFile.h"

namespace vantoria {

using imaging::SusieBlock;

void TSpi_load::LoadPlugins() {
    std::shared_ptr<TSpi_plugin> first;
    std::shared_ptr<TSpi_plugin> last;
    for (const std::string& name : imaging::ListPluginFiles(SpiPathName)) {
        std::shared_ptr<TSpi_plugin> record = imaging::LoadPluginLibrary(SpiPathName + "/" + name);
        if (!record->Accepted()) continue;   // dropping it unloads the library
        if (last) {
            last->Next = record;
        } else {
            first = record;
        }
        last = std::move(record);
    }
    if (first) pluginList_ = std::move(first);
}

bool TSpi_load::SetFile(const std::string& name) {
    fileExt_ = imaging::FileExtOf(name);
    fileName_ = name;
    return CheckFile();
}

bool TSpi_load::CheckFile() {
    if (imaging::IsNativeExtension(fileExt_)) return true;
    for (std::shared_ptr<TSpi_plugin> plugin = pluginList_; plugin; plugin = plugin->Next) {
        // A fresh descriptor for every plug-in, at the start of the file and
        // closed after the answer. One that cannot be opened is shown to no
        // plug-in.
        const UniqueFd fd = OpenRegularFile(fileName_.c_str());
        if (!fd) continue;
        if (plugin->IsSupported(fileName_.c_str(), fd.Get()) != 0) {
            currentPlugin_ = plugin;
            return true;
        }
    }
    return false;
}

bool TSpi_load::LoadPicture() {
    bitmap_.reset();
    bitmap_.emplace();
    lastError_.clear();
    if (imaging::IsNativeExtension(fileExt_)) {
        *bitmap_ = imaging::LoadNativePicture(fileName_);
        if (!bitmap_->Empty()) return true;
    }
    return LoadThroughPlugin();
}

void TSpi_load::FreePicture() { bitmap_.reset(); }

bool TSpi_load::Fail(std::string reason) {
    lastError_ = std::move(reason);
    return false;
}

bool TSpi_load::FailConversion(std::string reason, std::int32_t code) {
    errer = code;
    return Fail(std::move(reason));
}

bool TSpi_load::LoadThroughPlugin() {
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
    if (plugin->GetPictureInfo(name, 0, SUSIE_INPUT_FILE, &info) != SUSIE_OK) {
        return Fail("the image plug-in cannot read " + fileName_);
    }
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
    color_bit = info.colorDepth;
    text.Reset();

    // The picture is allocated once, by the plug-in. Only a failure leaves
    // the bitmap at the reported size, holding no picture: black, and the
    // system gives its pages only when they are touched.
    bool ok = true;
    SusieHandle infoHandle = nullptr;
    SusieHandle bitsHandle = nullptr;
    if (plugin->GetPicture(name, 0, SUSIE_INPUT_FILE, &infoHandle, &bitsHandle, nullptr, 0) != SUSIE_OK) {
        // A failing plug-in leaves no block for the caller.
        ok = Fail("the image plug-in failed to decode " + fileName_);
    } else {
        try {
            *bitmap_ = imaging::ConvertPluginPicture(width, height, SusieBlock(infoHandle), SusieBlock(bitsHandle));
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
