#include "settings/LayoutChanged.h"

namespace vantoria {

bool LayoutChanged = false;

}  // namespace vantoria
