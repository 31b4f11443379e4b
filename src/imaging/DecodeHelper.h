#pragma once
// The program's side of the decode helper, vantoria-decode: a process of its
// own that loads the plug-ins, runs the loader's sequence for one file under a
// seccomp filter, an address-space limit and a time limit, and hands the
// picture back in a sealed memfd that is mapped here, not copied. A plug-in
// that crashes, hangs or runs out of memory ends only the helper; the decode
// then fails with the reason.
//
// One helper serves one decode. With KeepWarm set, a warm helper keeps the
// plug-ins of the folder loaded (outside any decode) and makes each decode's
// helper as a copy of itself, which finds them loaded: a decode then costs
// little more than in this process.

#include <set>
#include <chrono>
#include <string>
#include <vector>
#include <sys/types.h>

#include "imaging/DecodeProtocol.h"
#include "imaging/DecodedPicture.h"
#include "platform/posix/UniqueFd.h"

namespace vantoria {

class TSpi_load;

namespace imaging {

// Seconds a decode may take: VANTORIA_DECODE_TIMEOUT when it holds a number
// above 0, else 20.
double DecodeTimeLimit();

// Our helper program `name`: beside this program (the build tree), else
// where the helpers are installed relative to the programs; empty when this
// program's own path cannot be read (it then starts no helper).
std::string HelperProgramPath(const std::string& name);
// HelperProgramPath("vantoria-decode").
std::string DecodeHelperPath();

class DecodeHelper {
public:
    DecodeHelper() = default;
    DecodeHelper(const DecodeHelper&) = delete;
    DecodeHelper& operator=(const DecodeHelper&) = delete;
    ~DecodeHelper();

    // Keep a warm helper for the next decodes (the tray program).
    bool KeepWarm = false;
    // Refusals of plug-ins the user has been told of (imaging/DecodePicture.h).
    std::set<std::string> toldRefusals;

    // Starts the helper for the next decode now, with the plug-ins of
    // `folder`, so that its start overlaps the caller's own (a single change:
    // without KeepWarm).
    void Prepare(const std::string& folder);

    // The loader's sequence for `file` with the loader's folder and its
    // earlier choice of plug-in; updates color_bit, errer and that choice as
    // the sequence in this process would, and writes SFName when Save is set.
    DecodedPicture Decode(TSpi_load& loader, const std::string& file, WantedSize wanted);

private:
    struct Process {
        pid_t pid = -1;
        UniqueFd socket;
        UniqueFd status;
        std::string folder;   // the warm helper's folder
    };

    // A helper for one decode, started here (loading the plug-ins of
    // `folder` before its request, if given) or made by the warm helper.
    static Process Start(const std::string& folder = {});
    // Asks the warm helper for a helper (next_), without waiting for it.
    void AskZygote();
    // The helper asked for (asking now if none was), once made.
    Process FromZygote();
    void StopZygote();
    static void Stop(Process& process);
    Process Take(const std::string& folder);
    void ReapEnded();

    Process prepared_;        // started by Prepare, for the next decode
    Process zygote_;          // socket: its control socket
    // The next decode's helper, asked of the warm helper right after a
    // decode, so that the next one need not wait for it to be made.
    Process next_;
    bool zygoteReady_ = false;
    // Helpers that have replied, not yet reaped. Each ends by itself at once
    // (a helper whose decode ran in a copy of its own first reaps that copy,
    // which is how what the copy used is counted with the program's own
    // children); one that has not ended by its deadline is killed.
    struct Ending {
        pid_t pid;
        std::chrono::steady_clock::time_point deadline;
    };
    std::vector<Ending> ending_;
    // The library of the plug-in the last decode chose: the next helper asks
    // it again when no plug-in takes the next file, as one loader would.
    std::string carriedPlugin_;
};

}  // namespace imaging

}  // namespace vantoria
