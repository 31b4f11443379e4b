#pragma once
// The buffer file written on a thread of its own while the desktop is set:
// where we draw the desktop ourselves (bare X11) the picture goes to the X
// server from memory at the same time; every other desktop reads the file,
// and waits for it.

#include <future>
#include <string>

#include "platform/Result.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

class BufferWrite {
public:
    // Starts writing `picture` to `path` as picture.SaveToFile(path,
    // sourceFile) does; on this thread when no other can be had.
    BufferWrite(raster::Bitmap picture, std::string path, std::string sourceFile = {});
    // Waits for the write.
    ~BufferWrite();
    BufferWrite(const BufferWrite&) = delete;
    BufferWrite& operator=(const BufferWrite&) = delete;

    // What the file will hold.
    const raster::Bitmap& Picture() const { return picture_; }
    // Waits for the write: done once the file is written, else why it is
    // not (SaveToFile's message). Every call gives the same answer.
    const Result& Finish();

private:
    raster::Bitmap picture_;
    std::future<Result> writing_;
    Result result_;
    bool finished_ = false;
};

}  // namespace vantoria::desktop
