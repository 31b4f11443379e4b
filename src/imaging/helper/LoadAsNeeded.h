#pragma once
// Plug-ins loaded only as far as a decode needs them: in folder order, the
// next only when every one loaded so far has refused the file. Libraries are
// loaded before the decode's filter goes on, and a plug-in sees the file only
// under it; so the plug-ins loaded so far are asked in a copy of this process
// (fork) whenever there are more to load. The copy whose plug-in takes the
// file goes on to decode it; one whose plug-ins all refuse tells this
// process, which loads the next and makes a new copy, asking only the new
// one. Each plug-in is asked once, in order, as in one process.

namespace vantoria {

class TSpi_load;

namespace imaging::helper {

// Begins the loader's scan of its folder (TSpi_load::BeginPluginScan) and
// loads as above; a file that asks no plug-in (read natively, or one that
// does not open) needs none loaded. Returns in the process that is to go on
// with the decode: true in this one, with every library of the scan loaded
// when the file asks plug-ins; false in a copy, whose loader's next CheckFile
// asks only the plug-ins earlier copies did not. This process waits for a
// copy that goes on and ends as it ended, so that the program sees that end
// as this process's own.
bool LoadAsNeeded(TSpi_load& loader, bool asksPlugins);

// Whether `socket` has something to read (or has been closed) now.
bool AnythingToRead(int socket);

}  // namespace imaging::helper

}  // namespace vantoria
