#include "imaging/DecodeHelper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/memory/MemoryBudget.h"
#include "imaging/Spi_load.h"
#include "platform/posix/RegularFile.h"

extern char** environ;

namespace vantoria::imaging {

namespace {

// How long a helper that has replied may take to end by itself.
constexpr std::chrono::milliseconds kEndAfterReply{1000};

using decode::Outcome;
using decode::Reply;
using decode::Request;

constexpr double kDefaultTimeLimit = 20;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves a descriptor above the ones the helper's are copied to, so that the
// copying never finds a descriptor already in place (which would keep its
// close-on-exec flag).
UniqueFd Above(UniqueFd fd) {
    if (!fd || fd.Get() > decode::kStatusFd) return fd;
    return UniqueFd(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, decode::kStatusFd + 1));
}

// The plug-in the helper was running when it ended, from its status page.
std::string RunningPlugin(const UniqueFd& status) {
    char text[decode::kStatusBytes] = {};
    const ssize_t n = ::pread(status.Get(), text, sizeof text - 1, 0);
    if (n <= 0) return {};
    std::string path(text, ::strnlen(text, static_cast<std::size_t>(n)));
    // The page is the helper's to write: show only what a file name may hold.
    for (char& c : path) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return BaseName(path);
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// The size the helper says the picture has in its file. A reduced decode is
// at most an eighth of it a side (rounded up); any other claim is not
// believed, and the bitmap's own size serves.
raster::ScreenSize ClaimedPictureSize(const Reply& reply, const raster::Bitmap& picture) {
    const raster::ScreenSize own{picture.Width(), picture.Height()};
    const auto within = [](std::int64_t claimed, std::int64_t delivered) {
        return claimed >= delivered && claimed <= delivered * 8;
    };
    if (!within(reply.pictureWidth, own.width) || !within(reply.pictureHeight, own.height)) return own;
    return {reply.pictureWidth, reply.pictureHeight};
}

// The size the helper says a picture it stretched has in its file: any a
// bitmap can have (the stretch draws none of it), else the bitmap's own.
raster::ScreenSize ClaimedOwnSize(const Reply& reply, const raster::Bitmap& picture) {
    if (reply.pictureWidth <= 0 || reply.pictureHeight <= 0 || reply.pictureWidth > raster::kMaxSide ||
        reply.pictureHeight > raster::kMaxSide ||
        std::int64_t{reply.pictureWidth} * reply.pictureHeight > raster::kMaxPixels) {
        return {picture.Width(), picture.Height()};
    }
    return {reply.pictureWidth, reply.pictureHeight};
}

// Why a helper that sent no reply ended.
std::string AbnormalEnd(int status, const std::string& plugin) {
    const std::string who = plugin.empty() ? "the picture reader" : "the plug-in " + plugin;
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU) return who + " used more processor time than the decode may take";
        return who + " ended with signal " + std::to_string(signal);
    }
    if (WIFEXITED(status)) return who + " ended the decode (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return who + " ended the decode";
}

// Reads a byte of each page, so that the faults (each mapping the pages
// around it too) come here: a write of the mapped rows to a file (the
// buffer file) would otherwise fault them in from inside the kernel's copy,
// one page a fault, at twice the whole write's cost.
void MapPages(const std::uint8_t* data, std::size_t length) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::uint8_t seen = 0;
    for (std::size_t at = 0; at < length; at += page) seen ^= *static_cast<const volatile std::uint8_t*>(data + at);
    static_cast<void>(seen);
}

// Maps the picture the helper handed over, after checking that the memfd is
// sealed and holds every row the reply claims.
std::optional<raster::Bitmap> MapPicture(const Reply& reply, std::string& problem) {
    problem = "the decode helper handed over a picture it does not hold";
    if (!reply.pixels) return std::nullopt;
    if (reply.width <= 0 || reply.height <= 0 || reply.width > raster::kMaxSide ||
        reply.height > raster::kMaxSide || std::int64_t{reply.width} * reply.height > raster::kMaxPixels) {
        return std::nullopt;
    }
    // Sealed against shrinking, which would fault this process on reading,
    // and against writing, so that the helper cannot change what was checked.
    constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_WRITE | F_SEAL_SEAL;
    const int seals = ::fcntl(reply.pixels.Get(), F_GET_SEALS);
    if (seals < 0 || (seals & kSeals) != kSeals) return std::nullopt;
    struct stat st {};
    if (::fstat(reply.pixels.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const std::uint64_t rows = std::uint64_t{raster::RowBytes(reply.width)} * static_cast<std::uint64_t>(reply.height);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (reply.offset > size || rows > size - reply.offset) return std::nullopt;
    const std::size_t length = static_cast<std::size_t>(reply.offset + rows);
    // Not populated: the faults on first reading map the pages around them
    // too, at about half the cost of populating the mapping page by page.
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, reply.pixels.Get(), 0);
    if (map == MAP_FAILED) {
        problem = std::string("cannot map the decoded picture: ") + std::strerror(errno);
        return std::nullopt;
    }
    // Pages of this mapping need not count as recently used: they go with
    // it. Without this, taking the mapping down marks each page accessed,
    // which costs as much again as taking it down.
    (void)::madvise(map, length, MADV_RANDOM);
    MapPages(static_cast<const std::uint8_t*>(map), length);
    problem.clear();
    raster::Bitmap::Block block{static_cast<std::uint8_t*>(map) + reply.offset,
                                [map, length](std::uint8_t*) { ::munmap(map, length); }};
    return raster::Bitmap::Adopt(reply.width, reply.height, reply.bottomUp, std::move(block));
}

}  // namespace

double DecodeTimeLimit() {
    if (const char* text = std::getenv("VANTORIA_DECODE_TIMEOUT"); text && *text) {
        char* end = nullptr;
        const double seconds = std::strtod(text, &end);
        if (end && *end == '\0' && std::isfinite(seconds) && seconds > 0) return seconds;
    }
    return kDefaultTimeLimit;
}

std::string HelperProgramPath(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    // Never the bare name: started so, it would be looked up in the
    // working folder, where anyone's downloads may lie.
    if (error) return {};
    const std::filesystem::path beside = self.parent_path() / name;
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
    // Installed, relative to the programs, so that the tree can move.
    return (self.parent_path() / std::filesystem::path(VANTORIA_DECODE_HELPER_FROM_BIN).parent_path() / name).string();
}

std::string DecodeHelperPath() { return HelperProgramPath("vantoria-decode"); }

DecodeHelper::~DecodeHelper() {
    Stop(prepared_);
    StopZygote();
    for (const Ending& helper : ending_) {
        while (::waitpid(helper.pid, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < helper.deadline)
            ::usleep(500);
        ::kill(helper.pid, SIGKILL);   // gone already, or past its time
        while (::waitpid(helper.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void DecodeHelper::ReapEnded() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(ending_, [now](const Ending& helper) {
        if (::waitpid(helper.pid, nullptr, WNOHANG) != 0) return true;
        if (now < helper.deadline) return false;
        ::kill(helper.pid, SIGKILL);
        return ::waitpid(helper.pid, nullptr, WNOHANG) != 0;
    });
}

namespace {

// Runs the helper program with `socket` as its descriptor 3 and `status`, if
// any, as 4.
pid_t Spawn(const UniqueFd& socket, const UniqueFd& status, std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);   // nothing of a plug-in's on our output
    posix_spawn_file_actions_adddup2(&actions, socket.Get(), decode::kSocketFd);
    if (status) posix_spawn_file_actions_adddup2(&actions, status.Get(), decode::kStatusFd);
    const std::string path = DecodeHelperPath();
    args.insert(args.begin(), "vantoria-decode");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// A socket pair, the far end clear of the descriptors the helper's are
// copied to, and a zeroed status page.
bool MakeChannel(UniqueFd& mine, UniqueFd& theirs, UniqueFd& status) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    mine = UniqueFd(pair[0]);
    theirs = Above(UniqueFd(pair[1]));
    status = Above(UniqueFd(::memfd_create("vantoria-decode-status", MFD_CLOEXEC)));
    return theirs && status && ::ftruncate(status.Get(), decode::kStatusBytes) == 0;
}

// Waits up to `ms` for `fd` to be readable.
bool Readable(int fd, int ms) {
    pollfd poller{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&poller, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

DecodeHelper::Process DecodeHelper::Start(const std::string& folder) {
    Process process;
    UniqueFd mine, theirs, status;
    if (!MakeChannel(mine, theirs, status)) return process;
    process.pid = Spawn(theirs, status, folder.empty() ? std::vector<std::string>{} : std::vector<std::string>{"--folder", folder});
    if (process.pid <= 0) return Process{};
    process.socket = std::move(mine);
    process.status = std::move(status);
    process.folder = folder;
    return process;
}

void DecodeHelper::Prepare(const std::string& folder) {
    if (KeepWarm) return;
    Stop(prepared_);
    prepared_ = Start(folder);
}

void DecodeHelper::AskZygote() {
    if (next_.socket) return;
    UniqueFd mine, theirs, status;
    if (!MakeChannel(mine, theirs, status) || !decode::SendSpawn(zygote_.socket.Get(), theirs.Get(), status.Get()))
        return;
    next_.pid = -1;   // until the warm helper answers
    next_.socket = std::move(mine);
    next_.status = std::move(status);
    next_.folder = zygote_.folder;
}

DecodeHelper::Process DecodeHelper::FromZygote() {
    AskZygote();
    Process process = std::exchange(next_, Process{});
    std::int32_t pid = -1;
    if (!process.socket || !Readable(zygote_.socket.Get(), 5000) ||
        ::recv(zygote_.socket.Get(), &pid, sizeof pid, 0) != static_cast<ssize_t>(sizeof pid) || pid <= 0) {
        return Process{};
    }
    process.pid = pid;
    return process;
}

void DecodeHelper::StopZygote() {
    // The warm helper ends first, so that nothing here waits on it. A helper
    // it made before is the program's child: it is ended and waited for too.
    Process asked = std::exchange(next_, Process{});
    const UniqueFd control = std::move(zygote_.socket);
    Stop(zygote_);
    std::int32_t pid = -1;
    if (asked.socket && control && Readable(control.Get(), 0) &&
        ::recv(control.Get(), &pid, sizeof pid, MSG_DONTWAIT) == static_cast<ssize_t>(sizeof pid) && pid > 0) {
        asked.pid = pid;
        Stop(asked);
    }
}

void DecodeHelper::Stop(Process& process) {
    if (process.pid <= 0) return;
    ::kill(process.pid, SIGKILL);
    int status = 0;
    while (::waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
    }
    process = Process{};
}

DecodeHelper::Process DecodeHelper::Take(const std::string& folder) {
    ReapEnded();
    if (prepared_.pid > 0) {
        if (prepared_.folder == folder) return std::exchange(prepared_, Process{});
        Stop(prepared_);
    }
    if (!KeepWarm) return Start();
    if (zygote_.pid > 0 && zygote_.folder != folder) StopZygote();
    if (zygote_.pid <= 0) {
        // Started now, ready for the decodes after this one.
        UniqueFd mine, theirs, status;
        if (MakeChannel(mine, theirs, status)) {
            zygote_.pid = Spawn(theirs, {}, {"--zygote", folder});
            zygote_.socket = std::move(mine);
            zygote_.folder = folder;
            zygoteReady_ = false;
        }
        return Start();
    }
    if (!zygoteReady_) {
        char ready = 0;
        if (!Readable(zygote_.socket.Get(), 0)) return Start();
        zygoteReady_ = ::recv(zygote_.socket.Get(), &ready, 1, 0) == 1 && ready == decode::kZygoteReady;
        if (!zygoteReady_) return Start();   // it ended: fresh helpers until the folder changes
    }
    Process made = FromZygote();
    if (made.pid > 0) return made;
    zygoteReady_ = false;
    return Start();
}

DecodedPicture DecodeHelper::Decode(TSpi_load& loader, const std::string& file, WantedSize wanted) {
    DecodedPicture result;
    Request request;
    request.folder = loader.SpiPathName;
    request.file = file;
    request.carriedPlugin = carriedPlugin_;
    request.memoryBudget = AvailableMemory().value_or(0);
    // A picture saved as decoded is saved whole.
    if (!loader.Save) {
        request.wantedWidth = wanted.width;
        request.wantedHeight = wanted.height;
        // A screen no bitmap can cover fails in the composition, as it would
        // without the stretch here.
        request.exact = wanted.exact && decode::CanBeExact(wanted.width, wanted.height);
    }
    request.fileFd = OpenRegularFile(file.c_str());
    if (!request.fileFd) request.openError = errno;

    Process helper = Take(request.folder);
    if (helper.pid <= 0 || !decode::SendRequest(helper.socket.Get(), request)) {
        Stop(helper);
        helper = Start();
        if (helper.pid <= 0 || !decode::SendRequest(helper.socket.Get(), request)) {
            Stop(helper);
            result.failure = "cannot start the decode helper " + DecodeHelperPath();
            return result;
        }
    }
    request.fileFd.Reset();

    const double limit = DecodeTimeLimit();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    std::optional<Reply> reply;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd poller{helper.socket.Get(), POLLIN, 0};
        const int ready = ::poll(&poller, 1, static_cast<int>(std::min<long long>(left.count() + 1, 60'000)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0) reply = decode::ReadReply(helper.socket.Get());
        if (ready != 0) break;
    }
    // After a reply the helper ends by itself (the picture is sealed): it is
    // reaped later, and killed if it lingers. Without one it ends now.
    int status = 0;
    if (reply) {
        ending_.push_back({helper.pid, std::chrono::steady_clock::now() + kEndAfterReply});
    } else {
        ::kill(helper.pid, SIGKILL);
        while (::waitpid(helper.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    helper.pid = -1;
    // The next decode's helper is made while this one's picture is used.
    if (KeepWarm && zygoteReady_ && zygote_.pid > 0 && zygote_.folder == request.folder) AskZygote();

    if (timedOut) {
        result.failure = file + ": the picture took longer than " + Seconds(limit) + " s";
        return result;
    }
    if (!reply) {
        // Our own SIGKILL comes only after a reply or at the time limit, so
        // this end is the helper's own.
        const std::string plugin = RunningPlugin(helper.status);
        result.failure = file + ": " + AbnormalEnd(status, plugin);
        return result;
    }

    carriedPlugin_ = reply->chosenPlugin;
    for (std::size_t at = 0, end; (end = reply->refused.find('\n', at)) != std::string::npos; at = end + 1)
        result.refused.push_back(reply->refused.substr(at, end - at));
    if (reply->errer != decode::kUnchanged) loader.errer = reply->errer;
    if (reply->colorBit != decode::kUnchanged) loader.color_bit = reply->colorBit;
    switch (reply->outcome) {
    case Outcome::Picture: {
        std::string problem;
        result.picture = MapPicture(*reply, problem);
        if (result.picture && !decode::StretchedAsAsked(request, *reply)) {
            result.picture.reset();
            problem = "the decode helper handed over a picture stretched to a size it was not asked for";
        }
        if (!result.picture) {
            result.failure = file + ": " + problem;
        } else {
            result.stretched = reply->stretched;
            result.size = reply->stretched ? ClaimedOwnSize(*reply, *result.picture)
                                           : ClaimedPictureSize(*reply, *result.picture);
        }
        break;
    }
    default:
        result.failure = reply->message.empty() ? file + ": the picture could not be read" : reply->message;
        break;
    }
    if (loader.Save && reply->throughPlugin &&
        (reply->outcome == Outcome::Picture || reply->outcome == Outcome::NoPicture)) {
        try {
            // A failed decode leaves a black picture of the reported size.
            const raster::Bitmap saved =
                result.picture ? *result.picture : raster::Bitmap(std::max(reply->width, 0), std::max(reply->height, 0));
            if (!saved.Empty()) saved.SaveToFile(loader.SFName);
        } catch (const std::exception& e) {
            result.picture.reset();
            result.failure = e.what();
        }
    }
    return result;
}

}  // namespace vantoria::imaging
