#pragma once
// Test surroundings for the desktop wallpaper setting: environment
// variables set for one test, private config and cache folders, and
// stand-ins for desktop tools that record how they were called.

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/Child.h"

namespace vantoria::test {

// Sets (or, with nullopt, unsets) a variable until the object goes.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) saved_ = old;
        if (value)
            ::setenv(name_.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ~ScopedEnv() {
        if (saved_)
            ::setenv(name_.c_str(), saved_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// Programs named like desktop tools, in a folder placed first on PATH. Each
// appends its arguments to a log and answers as it was told to.
class StandIns {
public:
    explicit StandIns(const std::filesystem::path& dir, bool keepSystemPath = true)
        : bin_(dir / "bin"), log_(dir / "log"),
          path_("PATH", bin_.string() + (keepSystemPath ? ":" + SystemPath() : std::string())) {
        std::filesystem::create_directories(bin_);
        std::filesystem::create_directories(log_);
    }

    void Add(const std::string& name, int exitCode = 0, const std::string& out = "",
             const std::string& err = "") const {
        std::ofstream(log_ / (name + ".out"), std::ios::binary) << out;
        std::ofstream(log_ / (name + ".err"), std::ios::binary) << err;
        const std::string log = (log_ / name).string();
        const auto script = bin_ / name;
        std::ofstream(script) << "#!/bin/sh\n"
                              << "{ printf '%d\\0' \"$#\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } >> '"
                              << log << ".calls'\n"
                              << "cat '" << log << ".out'\ncat '" << log << ".err' >&2\nexit " << exitCode << "\n";
        ::chmod(script.c_str(), 0755);
    }

    // Every call so far, each as its argument list (without the program name).
    std::vector<std::vector<std::string>> Calls(const std::string& name) const {
        const std::string text = ReadFile((log_ / (name + ".calls")).string());
        std::vector<std::vector<std::string>> calls;
        std::size_t at = 0;
        auto next = [&] {
            const std::size_t end = text.find('\0', at);
            std::string item = text.substr(at, end - at);
            at = end + 1;
            return item;
        };
        while (at < text.size()) {
            const int count = std::stoi(next());
            std::vector<std::string> args;
            for (int i = 0; i < count; ++i) args.push_back(next());
            calls.push_back(std::move(args));
        }
        return calls;
    }

private:
    static std::string SystemPath() {
        const char* path = std::getenv("PATH");
        return path ? path : "/usr/bin:/bin";
    }

    std::filesystem::path bin_, log_;
    ScopedEnv path_;
};

// A private registry (XDG_CONFIG_HOME) and picture cache (XDG_CACHE_HOME),
// and a forced desktop, for one test.
class DesktopSandbox {
public:
    explicit DesktopSandbox(const std::optional<std::string>& desktop)
        : config_("XDG_CONFIG_HOME", Dir() + "/config"), cache_("XDG_CACHE_HOME", Dir() + "/cache"),
          forced_("VANTORIA_DESKTOP", desktop) {}

    std::string Dir() const { return temp_.Path(); }
    // Where the pictures go under the XDG_CACHE_HOME now in force.
    std::filesystem::path CacheDir() const {
        return std::filesystem::path(std::getenv("XDG_CACHE_HOME")) / "vantoria";
    }
    std::filesystem::path RegistryFile() const {
        return std::filesystem::path(Dir()) / "config" / "vantoria" / "registry.reg";
    }
    void WriteRegistry(const std::string& text) const {
        std::filesystem::create_directories(RegistryFile().parent_path());
        std::ofstream(RegistryFile(), std::ios::binary) << text;
    }
    // The pictures in the cache folder (not its lock file).
    std::vector<std::string> CachedCopies() const {
        std::vector<std::string> names;
        if (std::filesystem::exists(CacheDir()))
            for (const auto& entry : std::filesystem::directory_iterator(CacheDir()))
                if (entry.path().filename().string().starts_with("wallpaper-")) names.push_back(entry.path().string());
        return names;
    }

private:
    TempDir temp_;
    ScopedEnv config_, cache_, forced_;
};

}  // namespace vantoria::test
