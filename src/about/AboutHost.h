#pragma once
// What the version information dialog asks of the rest of the program.

namespace vantoria {

class AboutHost {
public:
    virtual ~AboutHost() = default;
    // The program runs in debug mode: the dialog shows its comment line.
    virtual bool DebugMode() const = 0;
};

}  // namespace vantoria
