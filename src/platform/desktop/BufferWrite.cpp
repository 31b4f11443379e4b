#include "platform/desktop/BufferWrite.h"

#include <system_error>
#include <utility>

namespace vantoria::desktop {
namespace {

std::string Write(const raster::Bitmap& picture, const std::string& path, const std::string& sourceFile) {
    try {
        picture.SaveToFile(path, sourceFile);
        return {};
    } catch (const std::exception& error) {
        return error.what();
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
        failure_ = Write(picture_, path, sourceFile);
        finished_ = true;
    }
}

BufferWrite::~BufferWrite() { Finish(); }

const std::string& BufferWrite::Finish() {
    if (!finished_) {
        failure_ = writing_.get();
        finished_ = true;
    }
    return failure_;
}

}  // namespace vantoria::desktop
