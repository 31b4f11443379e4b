#pragma once
// What the settings dialog asks of the rest of the program. The tray program
// answers through the main form and the chooser; tests record.

namespace vantoria {

class SetupHost {
public:
    virtual ~SetupHost() = default;
    // The main form's Redraw command, after OK changed the layout.
    virtual void Redraw() = 0;
    // The main form's Change command, which the auto-change box turns off
    // at once.
    virtual void EnableChangeCommand(bool enabled) = 0;
    // Whether the chooser is open: opened from there, the chooser redraws.
    virtual bool ChooserOpen() const = 0;
};

}  // namespace vantoria
