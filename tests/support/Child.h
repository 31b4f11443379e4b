#pragma once
// Starts a program for an end-to-end test and waits for it, with a time
// limit so a hanging program fails the test instead of stalling it.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantoria::test {

class Child {
public:
    // Starts `program` with `args` in `workDir`; `env` entries are added to
    // (or replace) the test's own environment. Standard output and error
    // are collected.
    Child(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& env, const std::string& workDir);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Signal(int number) const;
    // True once the program has a handler of its own for the signal.
    bool Catches(int number) const;
    // The exit code, or nullopt when it did not end in time or was killed
    // by a signal.
    std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(20));
    bool Running();
    const std::string& Output() const { return output_; }

private:
    void Drain();
    int pid_ = -1;
    int outFd_ = -1;
    std::string output_;
    std::optional<int> status_;
};

// A fresh empty folder below the system temp folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);

// Polls `done` every few milliseconds until it holds or the limit passes.
template <class F>
bool WaitUntil(F done, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace vantoria::test

#include <thread>

template <class F>
bool vantoria::test::WaitUntil(F done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}
