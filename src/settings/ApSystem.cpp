#include "settings/ApSystem.h"

namespace vantoria {

TApSystem ApSystem;

}  // namespace vantoria
