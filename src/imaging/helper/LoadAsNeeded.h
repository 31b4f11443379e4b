#pragma once
// Plug-ins loaded only as far as a decode needs them. Libraries are loaded
// before the decode's filter goes on, and a plug-in sees the file only under
// it; so the plug-ins loaded so far are asked in a copy of this process
// (fork), while this one may still load the rest. The copy goes on to decode
// the file when one of them takes it; when all refuse, it tells this
// process, which loads the rest and asks only those. Each plug-in is asked
// once, in folder order, as in one process.
//
// A plug-in whose declared heads rule out the file's first bytes
// (imaging/PluginHeads.h) would refuse it: it is passed over, neither loaded
// nor asked, as if asked and refused.
//
// A copy costs more than loading most plug-ins does, so there is at most
// one: made once the plug-in whose name suits the file's extension is
// loaded ("jpeg.spi" or "ifjpeg.spi" for ".jpg"), the likeliest place for
// the plug-in that takes it. Without such a plug-in, every one is loaded
// first, as before. A wrong guess costs only time.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoria {

class TSpi_load;

namespace imaging::helper {

// Begins the loader's scan of its folder (TSpi_load::BeginPluginScan) and
// loads as above for `file`, whose first bytes are `head` where they could
// be read (ReadFileHead; without them no plug-in is passed over); a file that
// asks no plug-in (read natively, or one that does not open) needs none loaded. Returns in the process that is
// to go on with the decode: true in this one, with every library of the scan
// loaded when the file asks plug-ins, and the loader's next CheckFile set to
// skip those a copy asked already; false in the copy. This process waits
// for a copy that goes on and ends as it ended, so that the program sees
// that end as this process's own.
bool LoadAsNeeded(TSpi_load& loader, const std::string& file, bool asksPlugins,
                  const std::optional<std::vector<std::uint8_t>>& head);

// Loads the libraries of the loader's folder in order, ahead of a request,
// until `requestCame`: only those that declare no heads, as one that does
// may well be passed over for the file the request names.
void LoadAhead(TSpi_load& loader, const std::function<bool()>& requestCame);

// Whether the plug-in library at `path` is named for files with the
// extension `fileExt` (FileExtOf): its name, without ".spi", holds the
// extension or another spelling of it (JPG, JPEG, JPE, JFIF; TIF, TIFF;
// HEIC, HEIF, HIF, AVIF; MNG, JNG), without regard to case.
bool NamedForExtension(std::string_view path, std::string_view fileExt);

// Whether `socket` has something to read (or has been closed) now.
bool AnythingToRead(int socket);

}  // namespace imaging::helper

}  // namespace vantoria
