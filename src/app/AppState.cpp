#include "app/AppState.h"

#include "change/formChgWall.h"
#include "settings/ApSystem.h"
#include "settings/LayoutChanged.h"

namespace vantoria {

bool DebugMode = false;
bool AppRunning = false;
Tform_Main* form_Main = nullptr;
Tform_About* form_About = nullptr;
Tform_ChgWall* form_ChgWall = nullptr;
Tform_Setup* form_Setup = nullptr;

void ResetTrayState() {
    ApSystem = TApSystem{};
    LayoutChanged = false;
    PreviewApplied = false;
    DebugMode = false;
    AppRunning = false;
}

}  // namespace vantoria
