#pragma once
// Process-wide state of the tray program. These are the program's own names
// for it; this is the one place that declares the ones the tray program
// owns and the one place that resets them all (ResetTrayState).
//
//   ApSystem        settings/ApSystem.h   the settings record (also the core's)
//   LayoutChanged   settings/LayoutChanged.h
//   PreviewApplied  change/formChgWall.h  lives with the chooser
//   DebugMode, AppRunning, form_Main..form_Setup   here

namespace vantoria {

class Tform_Main;
class Tform_About;
class Tform_ChgWall;
class Tform_Setup;

// The command line asked for debug mode ("/debug" in any case).
extern bool DebugMode;
// False until all four forms exist; set just before the event loop starts.
extern bool AppRunning;

// The four forms, each created once at start-up by TrayForms and living
// until the end (null before and after).
extern Tform_Main* form_Main;
extern Tform_About* form_About;
extern Tform_ChgWall* form_ChgWall;
extern Tform_Setup* form_Setup;

// Puts every process-wide value above back to what it is at start-up. The
// forms must be gone (their pointers are TrayForms's to clear).
void ResetTrayState();

// Name of the help document the Help command opens.
inline constexpr const char* kHelpFile = "Runo.hlp";
inline constexpr const char* kAppTitle = "Vantoria";

}  // namespace vantoria
