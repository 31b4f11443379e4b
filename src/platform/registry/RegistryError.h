#pragma once
// The one error type of the registry store, and the one way its messages
// reach the user on the command line.

#include "platform/Error.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vantoria::registry {

// Thrown when a change cannot be saved to the registry file (folder not
// writable, disk full, lock not obtained, ...) and when a key is written
// without being open. Reading never throws: it yields what could be read.
// what() is one complete sentence without the program prefix, e.g.
// "cannot save settings to /home/u/.config/vantoria/registry.reg: Permission denied".
class RegistryError : public vantoria::Error {
public:
    using vantoria::Error::Error;
    // A failed save: "cannot save settings to <file>: <reason>".
    RegistryError(const std::filesystem::path& file, std::string reason)
        : vantoria::Error("cannot save settings to " + file.string() + ": " + reason),
          file_(file),
          reason_(std::move(reason)) {}

    // For a failed save, the file and the short cause; empty otherwise.
    const std::filesystem::path& File() const { return file_; }
    const std::string& Reason() const { return reason_; }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// Writes "vantoria: <message>" as one line to standard error, in one write
// so that lines of concurrent processes do not interleave.
void PrintRegistryMessage(std::string_view message);

}  // namespace vantoria::registry
