#include "imaging/helper/LoadAsNeeded.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <iterator>
#include <map>

#include "imaging/FileExtension.h"
#include "imaging/PluginHeads.h"
#include "imaging/SpiPlugin.h"
#include "imaging/Spi_load.h"

namespace vantoria::imaging::helper {

namespace {

// What a copy writes when none of its plug-ins takes the file.
constexpr char kNoneTook = 'n';

// The heads the library at `path` declares, read once: the loading ahead
// of the request and the decode's scan ask for the same libraries.
const std::optional<DeclaredHeads>& DeclaredHeadsOf(const std::string& path) {
    static std::map<std::string, std::optional<DeclaredHeads>> read;
    const auto found = read.find(path);
    if (found != read.end()) return found->second;
    return read.emplace(path, ReadDeclaredHeads(path)).first->second;
}

// Whether the library at `path` declares heads that rule out the file
// whose first bytes are `head`: it would refuse the file.
bool RulesOut(const std::string& path, const std::optional<std::vector<std::uint8_t>>& head) {
    if (!head) return false;
    const std::optional<DeclaredHeads>& declared = DeclaredHeadsOf(path);
    return declared && !declared->Admits(*head);
}

// Passes over the libraries next in the scan that would refuse the file.
void PassOverRefusing(TSpi_load& loader, const std::optional<std::vector<std::uint8_t>>& head) {
    for (std::string next; !(next = loader.NextPluginPath()).empty() && RulesOut(next, head);) loader.SkipNextPlugin();
}

void LoadTheRest(TSpi_load& loader, const std::optional<std::vector<std::uint8_t>>& head) {
    for (PassOverRefusing(loader, head); loader.LoadNextPlugin(); PassOverRefusing(loader, head)) {
    }
}

// Ends this process as the copy with `status` ended.
[[noreturn]] void EndAs(int status) {
    if (WIFSIGNALED(status)) {
        const int number = WTERMSIG(status);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);   // the copy wrote none either
        ::signal(number, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, number);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::raise(number);
        ::_exit(128 + number);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

enum class Round { InCopy, NoneTook, Failed };

// Makes the copy that asks the plug-ins loaded so far, and waits for its
// answer; a copy that goes on is waited for to its end.
Round AskInCopy(TSpi_load& loader) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return Round::Failed;
    const pid_t self = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        return Round::Failed;
    }
    if (pid == 0) {
        ::close(pipe[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != self) ::_exit(0);
        const int tell = pipe[1];
        loader.ContinueCheck(0, [tell] {
            (void)::write(tell, &kNoneTook, 1);
            ::_exit(0);
        });
        return Round::InCopy;
    }
    ::close(pipe[1]);
    char answer = 0;
    ssize_t got;
    do {
        got = ::read(pipe[0], &answer, 1);
    } while (got < 0 && errno == EINTR);
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (got == 1 && answer == kNoneTook && WIFEXITED(status) && WEXITSTATUS(status) == 0) return Round::NoneTook;
    EndAs(status);
}

}  // namespace

bool NamedForExtension(std::string_view path, std::string_view fileExt) {
    static constexpr std::string_view kSpellings[][4] = {
        {"JPG", "JPEG", "JPE", "JFIF"}, {"TIF", "TIFF"}, {"HEIC", "HEIF", "HIF", "AVIF"}, {"MNG", "JNG"}};
    if (fileExt.size() < 2) return false;
    const std::string_view ext = fileExt.substr(1);
    std::string name(path.substr(path.rfind('/') + 1));
    if (name.size() < 4) return false;
    name.resize(name.size() - 4);   // ".spi"
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto holds = [&name](std::string_view part) { return !part.empty() && name.find(part) != std::string::npos; };
    for (const auto& spellings : kSpellings) {
        if (std::find(std::begin(spellings), std::end(spellings), ext) == std::end(spellings)) continue;
        return std::any_of(std::begin(spellings), std::end(spellings), holds);
    }
    return holds(ext);
}

bool LoadAsNeeded(TSpi_load& loader, const std::string& file, bool asksPlugins,
                  const std::optional<std::vector<std::uint8_t>>& head) {
    loader.BeginPluginScan();
    if (!asksPlugins) return true;
    const std::string fileExt = FileExtOf(file);
    // Up to the plug-in named for the file, and on through libraries this
    // process has loaded already (ahead of the request) and those passed
    // over, which cost nothing more.
    bool named = false;
    PassOverRefusing(loader, head);
    for (std::string next; !(next = loader.NextPluginPath()).empty(); PassOverRefusing(loader, head)) {
        if (named && !PluginLibraryLoaded(next)) break;
        named = named || NamedForExtension(next, fileExt);
        loader.LoadNextPlugin();
    }
    std::size_t asked = 0;
    if (!loader.NextPluginPath().empty() && loader.ScannedPlugins() > 0) {
        const Round round = AskInCopy(loader);
        if (round == Round::InCopy) return false;
        if (round == Round::NoneTook) asked = loader.ScannedPlugins();
    }
    LoadTheRest(loader, head);
    loader.ContinueCheck(asked, nullptr);
    return true;
}

void LoadAhead(TSpi_load& loader, const std::function<bool()>& requestCame) {
    loader.BeginPluginScan();
    for (std::string next; !requestCame() && !(next = loader.NextPluginPath()).empty();) {
        if (DeclaredHeadsOf(next)) {
            loader.SkipNextPlugin();
        } else {
            loader.LoadNextPlugin();
        }
    }
}

bool AnythingToRead(int socket) {
    pollfd poller{socket, POLLIN, 0};
    return ::poll(&poller, 1, 0) != 0;
}

}  // namespace vantoria::imaging::helper
