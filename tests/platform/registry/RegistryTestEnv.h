#pragma once
// A fresh XDG_CONFIG_HOME for each test, and a way to run a piece of a test
// in a child process without root's power over file permissions.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/registry/RegistryFile.h"
#include "support/Child.h"

namespace vantoria::test {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
        ::setenv("XDG_CONFIG_HOME", (Dir() / "config").c_str(), 1);
    }
    void TearDown() override {
        if (saved_)
            ::setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }
    std::filesystem::path Dir() const { return temp_.Path(); }
    std::filesystem::path File() const { return registry::RegistryFilePath(); }
    std::string FileText() const { return ReadFile(File().string()); }
    void WriteFileText(const std::string& text) const {
        std::filesystem::create_directories(File().parent_path());
        std::ofstream(File(), std::ios::binary) << text;
    }

private:
    TempDir temp_;
    std::optional<std::string> saved_;
};

struct ChildOutcome {
    bool passed = false;
    std::string stderrText;
};

// Runs `body` (returning true on success) in a forked child with its
// standard error collected. As root the child becomes "nobody" first, so
// that permissions apply; the temp folder is opened up for it.
template <class Body>
ChildOutcome RunUnprivileged(const std::filesystem::path& tempDir, Body body) {
    std::filesystem::permissions(tempDir, std::filesystem::perms::all);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::dup2(pipeFds[1], STDERR_FILENO);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        outcome.stderrText.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}

}  // namespace vantoria::test
