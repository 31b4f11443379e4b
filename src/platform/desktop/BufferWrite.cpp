#include "platform/desktop/BufferWrite.h"

#include <system_error>
#include <utility>

namespace vantoria::desktop {
namespace {

Result Write(const raster::Bitmap& picture, const std::string& path, const std::string& sourceFile) {
    try {
        picture.SaveToFile(path, sourceFile);
        return Result::Done();
    } catch (const std::exception& error) {
        return Result::Failed(error.what());
    }
}

}  // namespace

BufferWrite::BufferWrite(raster::Bitmap picture, std::string path, std::string sourceFile)
    : picture_(std::move(picture)) {
    try {
        // The copy shares the pixels; both sides only read them.
        writing_ = std::async(std::launch::async, [picture = picture_, path, sourceFile] {
            return Write(picture, path, sourceFile);
        });
    } catch (const std::system_error&) {
        result_ = Write(picture_, path, sourceFile);
        finished_ = true;
    }
}

// Waits; what the write came to is read from Finish().
BufferWrite::~BufferWrite() { static_cast<void>(Finish()); }

const Result& BufferWrite::Finish() {
    if (!finished_) {
        result_ = writing_.get();
        finished_ = true;
    }
    return result_;
}

}  // namespace vantoria::desktop
