#include "app/AppState.h"

namespace vantoria {

bool DebugMode = false;
bool AppRunning = false;
Tform_Main* form_Main = nullptr;
Tform_About* form_About = nullptr;
Tform_ChgWall* form_ChgWall = nullptr;
Tform_Setup* form_Setup = nullptr;

}  // namespace vantoria
