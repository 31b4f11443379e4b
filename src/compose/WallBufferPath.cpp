#include "compose/WallBufferPath.h"

#include "settings/ApSystem.h"

namespace vantoria::compose {

std::string WallBufferPath(const std::string& startDir, const std::string& wallBuffer) {
    return startDir + "/" + wallBuffer;
}

std::string WallBufferPath(const TApSystem& settings) {
    return WallBufferPath(settings.StartDir, settings.WallBuffer);
}

}  // namespace vantoria::compose
