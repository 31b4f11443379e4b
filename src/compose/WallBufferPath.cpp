#include "compose/WallBufferPath.h"

#include "settings/ApSystem.h"

namespace vantoria::compose {

std::string WallBufferPath(const std::string& startDir, const std::string& wallBuffer) {
    // The settings dialog's file picker can store a full path: that path.
    if (!wallBuffer.empty() && wallBuffer.front() == '/') return wallBuffer;
    return startDir + "/" + wallBuffer;
}

std::string WallBufferPath(const TApSystem& settings) {
    return WallBufferPath(settings.StartDir, settings.WallBuffer);
}

}  // namespace vantoria::compose
