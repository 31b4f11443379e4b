// The automatic change: what the main form's one-second timer does on each tick.

#include "app/formMain.h"

namespace vantoria {

void Tform_Main::tmr_ChgWallTimer() {}

}  // namespace vantoria
