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

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/SpiError.h"
#include "imaging/SpiPlugin.h"
#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

namespace vantoria {

namespace imaging {

class DecodeHelper;

// Values of errer after a conversion failed: the plug-in's data did not
// describe the picture it reported, or memory ran out.
inline constexpr std::int32_t kErrerBadData = 22;    // EINVAL
inline constexpr std::int32_t kErrerNoMemory = 12;   // ENOMEM

}  // namespace imaging

class TSpi_load {
public:
    TSpi_load();
    ~TSpi_load();
    TSpi_load(const TSpi_load&) = delete;
    TSpi_load& operator=(const TSpi_load&) = delete;

    // Published properties: read and written directly, with no other effect.
    std::string SpiPathName;       // plug-in folder, used by the next LoadPlugins
    std::int32_t color_bit = 0;    // bits per pixel a plug-in reported last
    std::int32_t errer = 0;        // code of the last failed conversion (kErrer...)
    bool Save = false;             // also write every plug-in picture to SFName
    std::string SFName;

    // Told the library path of the plug-in about to run (its loading
    // included), and "" once it has returned. The decode helper keeps it
    // where the program can read it, should the plug-in never return.
    std::function<void(const std::string& library)> OnPluginCall;
    // Told the size a plug-in reported for the picture, once it is found
    // sound and before the plug-in is asked for the pixels: the decode
    // helper gets the picture's memory ready meanwhile.
    std::function<void(int width, int height)> OnPictureSize;

    // Scans SpiPathName + "/*.SPI" (names in any case, in byte order) and
    // makes the libraries that load and export IsSupported and GetPicture the
    // new plug-in list. A scan that accepts none keeps the old list. Silent.
    // A folder or library that others could have written (PluginFolder.h)
    // is not loaded; RefusedPlugins() says which and why.
    void LoadPlugins();
    // LoadPlugins in steps, for a decode that loads plug-ins only as far as
    // it needs them (the decode helper). BeginPluginScan lists the folder and
    // finds what is refused as LoadPlugins does, loading nothing; each
    // LoadNextPlugin then loads the next library of that listing and appends
    // it to the new list when accepted, which becomes PluginList() with its
    // first accepted record (a scan that accepts none keeps the old list).
    // LoadNextPlugin is false once the listing is used up.
    void BeginPluginScan();
    bool LoadNextPlugin();
    // The library LoadNextPlugin would load, or "" when none is left.
    std::string NextPluginPath() const;
    // Passes over that library, neither loaded nor listed: for a decode that
    // knows it would refuse the file (imaging/PluginHeads.h), so that the
    // file's plug-ins are asked as if it had been asked and had refused.
    void SkipNextPlugin();
    // The records the scan begun last has accepted so far.
    std::size_t ScannedPlugins() const { return scan_.accepted; }
    // For a first CheckFile spread over processes: the next CheckFile
    // skips the first `refused` records of the list, which refused the file
    // already, and when it finds none accepting while the scan has libraries
    // left, calls `atEnd` (a process with more of them loaded goes on; it
    // need not return). For that one CheckFile only.
    void ContinueCheck(std::size_t refused, std::function<void()> atEnd);

    // Takes the file name and its extension, then runs CheckFile.
    bool SetFile(const std::string& name);
    // True when the file is read natively or a plug-in accepts it; the
    // plug-ins are asked in list order and the first that accepts becomes
    // CurrentPlugin. A file that cannot be opened is offered to none.
    bool CheckFile();
    // Decodes the file into a new Bitmap. True when it holds the picture.
    // With `atLeast`, a plug-in that can may deliver the picture reduced
    // (by 2, 4 or 8), each side still at least the one asked for: for a
    // caller that draws it no larger. PictureSize() is the picture's own size
    // either way; without a Save file only.
    [[nodiscard]] bool LoadPicture(std::optional<raster::ScreenSize> atLeast = std::nullopt);
    // Drops the Bitmap.
    void FreePicture();
    // Makes `plugin` the CurrentPlugin, as a CheckFile that chose it would:
    // a decode in a fresh process carries an earlier decode's choice over.
    void RestoreCurrentPlugin(std::shared_ptr<TSpi_plugin> plugin) { currentPlugin_ = std::move(plugin); }

    const std::string& FileName() const { return fileName_; }
    const std::string& FileExt() const { return fileExt_; }
    const std::shared_ptr<TSpi_plugin>& PluginList() const { return pluginList_; }
    const std::shared_ptr<TSpi_plugin>& CurrentPlugin() const { return currentPlugin_; }
    // None before the first LoadPicture and after FreePicture.
    const std::optional<raster::Bitmap>& Bitmap() const { return bitmap_; }
    // The size of the picture in the file, which Bitmap() has unless the
    // last LoadPicture delivered it reduced.
    raster::ScreenSize PictureSize() const { return pictureSize_; }
    // What the last LoadPlugins refused to load, one reason a line.
    const std::vector<std::string>& RefusedPlugins() const { return refused_; }
    // Why the last LoadPicture returned false; empty after one that did not.
    const std::string& LastError() const { return lastError_; }

    // The helper process that runs this loader's sequence for the program
    // (imaging/DecodePicture.h), made on first use.
    imaging::DecodeHelper& Helper();

private:
    bool LoadThroughPlugin(std::optional<raster::ScreenSize> atLeast);
    bool Fail(std::string reason);
    bool FailConversion(std::string reason, std::int32_t code);
    void Entering(const TSpi_plugin& plugin) const;
    void Left() const;

    std::string fileName_;
    std::string fileExt_;
    std::shared_ptr<TSpi_plugin> pluginList_;
    std::shared_ptr<TSpi_plugin> currentPlugin_;
    std::optional<raster::Bitmap> bitmap_;
    raster::ScreenSize pictureSize_;
    std::string lastError_;
    std::vector<std::string> refused_;
    // The scan begun last: the libraries still to load and the list so far.
    struct Scan {
        std::vector<std::string> paths;
        std::size_t next = 0;
        std::size_t accepted = 0;
        std::shared_ptr<TSpi_plugin> last;
    } scan_;
    std::size_t skipInCheck_ = 0;
    std::function<void()> atCheckEnd_;
    std::unique_ptr<imaging::DecodeHelper> helper_;
};

}  // namespace vantoria
