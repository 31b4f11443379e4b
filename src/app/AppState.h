#pragma once
// Process-wide state of the tray program, set up by the entry point.

namespace vantoria {

class Tform_Main;
class Tform_About;
class Tform_ChgWall;
class Tform_Setup;

// The command line asked for debug mode ("/debug" in any case).
extern bool DebugMode;
// False until all four forms exist; set just before the event loop starts.
extern bool AppRunning;

// The four forms, each created once at start-up and living until the end.
extern Tform_Main* form_Main;
extern Tform_About* form_About;
extern Tform_ChgWall* form_ChgWall;
extern Tform_Setup* form_Setup;

// Name of the help document the Help command opens.
inline constexpr const char* kHelpFile = "Runo.hlp";
inline constexpr const char* kAppTitle = "Vantoria";

}  // namespace vantoria
