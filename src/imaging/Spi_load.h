#pragma once
// The image loader: finds the image plug-ins in the plug-in folder, chooses
// the reader for a file (native or the first plug-in that accepts it) and
// decodes the file into its Bitmap.
//
// Calling order, for every image: LoadPlugins(), SetFile(name), CheckFile(),
// LoadPicture(), then read Bitmap().
//
// Errors: LoadPicture throws dib::DibError when a native file cannot be read,
// imaging::SpiError when a file needs a plug-in and none was chosen (or the
// chosen one has no GetPictureInfo), and raster::RasterError when Save is set
// and SFName cannot be written. All three derive from std::runtime_error.
// What a plug-in does wrong is no exception: LoadPicture returns false and
// LastError() says why; so does a file for a plug-in that cannot be opened
// or is not a regular file (a FIFO, a folder), which no plug-in is shown,
// and a reported picture the machine has not the memory for, which is
// refused before the plug-in is asked for it (platform/memory/MemoryBudget.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "imaging/SpiError.h"
#include "imaging/SpiPlugin.h"
#include "platform/raster/Bitmap.h"

namespace vantoria {

namespace imaging {

// Values of errer after a conversion failed: the plug-in's data did not
// describe the picture it reported, or memory ran out.
inline constexpr std::int32_t kErrerBadData = 22;    // EINVAL
inline constexpr std::int32_t kErrerNoMemory = 12;   // ENOMEM

}  // namespace imaging

class TSpi_load {
public:
    TSpi_load() = default;
    TSpi_load(const TSpi_load&) = delete;
    TSpi_load& operator=(const TSpi_load&) = delete;

    // Published properties: read and written directly, with no other effect.
    std::string SpiPathName;       // plug-in folder, used by the next LoadPlugins
    std::int32_t color_bit = 0;    // bits per pixel a plug-in reported last
    std::int32_t errer = 0;        // code of the last failed conversion (kErrer...)
    bool Save = false;             // also write every plug-in picture to SFName
    std::string SFName;

    // Scans SpiPathName + "/*.SPI" (names in any case, in byte order) and
    // makes the libraries that load and export IsSupported and GetPicture the
    // new plug-in list. A scan that accepts none keeps the old list. Silent.
    void LoadPlugins();

    // Takes the file name and its extension, then runs CheckFile.
    bool SetFile(const std::string& name);
    // True when the file is read natively or a plug-in accepts it; the
    // plug-ins are asked in list order and the first that accepts becomes
    // CurrentPlugin. A file that cannot be opened is offered to none.
    bool CheckFile();
    // Decodes the file into a new Bitmap. True when it holds the picture.
    bool LoadPicture();
    // Drops the Bitmap.
    void FreePicture();

    const std::string& FileName() const { return fileName_; }
    const std::string& FileExt() const { return fileExt_; }
    const std::shared_ptr<TSpi_plugin>& PluginList() const { return pluginList_; }
    const std::shared_ptr<TSpi_plugin>& CurrentPlugin() const { return currentPlugin_; }
    // None before the first LoadPicture and after FreePicture.
    const std::optional<raster::Bitmap>& Bitmap() const { return bitmap_; }
    // Why the last LoadPicture returned false; empty after one that did not.
    const std::string& LastError() const { return lastError_; }

private:
    bool LoadThroughPlugin();
    bool Fail(std::string reason);
    bool FailConversion(std::string reason, std::int32_t code);

    std::string fileName_;
    std::string fileExt_;
    std::shared_ptr<TSpi_plugin> pluginList_;
    std::shared_ptr<TSpi_plugin> currentPlugin_;
    std::optional<raster::Bitmap> bitmap_;
    std::string lastError_;
};

}  // namespace vantoria
