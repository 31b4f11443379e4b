// vantoria-decode: decodes one picture for the program (imaging/DecodeHelper.h
// is the program's side, imaging/DecodeProtocol.h what they say).
//
//   vantoria-decode                    one decode
//   vantoria-decode --zygote FOLDER    the warm helper (DecodeProtocol.h)
// with the socket pair's end at descriptor 3 and, for one decode, the status
// page at 4.

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "imaging/DecodeHelper.h"
#include "imaging/DecodeProtocol.h"
#include "imaging/FileExtension.h"
#include "imaging/PluginFolder.h"
#include "imaging/SpiError.h"
#include "imaging/SpiPlugin.h"
#include "imaging/Spi_load.h"
#include "imaging/helper/FileBroker.h"
#include "imaging/helper/SandboxFilter.h"
#include "imaging/helper/SharedHeap.h"
#include "platform/dib/DibError.h"
#include "platform/raster/Bitmap.h"

using namespace vantoria;
namespace decode = vantoria::imaging::decode;
namespace helper = vantoria::imaging::helper;

namespace {

// The status page: the plug-in running now, for the program to name should
// this process end without a reply.
class StatusPage {
public:
    void Map() {
        if (page_) ::munmap(page_, decode::kStatusBytes);
        void* page = ::mmap(nullptr, decode::kStatusBytes, PROT_READ | PROT_WRITE, MAP_SHARED, decode::kStatusFd, 0);
        page_ = page != MAP_FAILED ? static_cast<char*>(page) : nullptr;
    }
    void Set(const std::string& library) const {
        if (!page_) return;
        const std::size_t n = std::min(library.size(), decode::kStatusBytes - 1);
        std::memcpy(page_, library.data(), n);
        page_[n] = '\0';
    }

private:
    char* page_ = nullptr;
};

// Bytes of address space in use now.
std::uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

void SetLimits(std::uint64_t memoryBudget) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);   // a crashing plug-in leaves no file
    // Past the time limit the program ends this process; this only stops
    // one that spins should the program be gone.
    const auto seconds = static_cast<rlim_t>(imaging::DecodeTimeLimit()) + 2;
    const rlimit cpu{seconds, seconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (memoryBudget == 0) return;
    // The plug-ins' own checks read the budget from here, as /proc is out of
    // reach once the filter is on.
    ::setenv("VANTORIA_MEMORY_LIMIT", std::to_string(memoryBudget).c_str(), 1);
    const std::uint64_t limit = AddressSpaceInUse() + memoryBudget;
    const rlimit space{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    ::setrlimit(RLIMIT_AS, &space);
}

// Brings back the plug-in an earlier decode chose, so that a file no plug-in
// takes goes to it, as in one long-lived loader.
void RestoreChoice(TSpi_load& loader, const std::string& library) {
    if (library.empty()) return;
    for (std::shared_ptr<TSpi_plugin> plugin = loader.PluginList(); plugin; plugin = plugin->Next) {
        if (plugin->LibraryPath == library) {
            loader.RestoreCurrentPlugin(plugin);
            return;
        }
    }
    // Not from a folder or file that has since become unsafe.
    const auto slash = library.rfind('/');
    if (!imaging::PluginFolderProblem(slash == std::string::npos ? "." : library.substr(0, slash)).empty() ||
        !imaging::PluginFileProblem(library).empty()) {
        return;
    }
    std::shared_ptr<TSpi_plugin> plugin = imaging::LoadPluginLibrary(library);
    if (plugin->Accepted()) loader.RestoreCurrentPlugin(std::move(plugin));
}

// The picture's rows as a sealed memfd: the block they already lie in when
// the shared heap holds them, else a copy (a small picture). Either way no
// writable mapping of it is left, so that it can be sealed against writes
// too: what the program maps can no longer change. The picture must not be
// touched afterwards.
bool HandOver(const raster::Bitmap& picture, decode::Reply& reply) {
    const int width = picture.Width(), height = picture.Height();
    const std::size_t rowBytes = raster::RowBytes(width);
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(height);
    const bool bottomUp = picture.BottomUp();
    const std::uint8_t* lowest = bottomUp ? picture.ScanLine(height - 1) : picture.ScanLine(0);
    const auto stride = static_cast<std::size_t>(picture.Stride() < 0 ? -picture.Stride() : picture.Stride());
    int fd = -1;
    if (stride == rowBytes) {
        if (const auto span = helper::FindSharedBlock(lowest, bytes)) {
            reply.offset = span->offset;
            reply.bottomUp = bottomUp;
            fd = helper::DetachSharedBlock(lowest);
        }
    }
    if (fd < 0) {
        fd = ::memfd_create("vantoria-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(bytes)) != 0) return false;
        void* map = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) return false;
        for (int y = 0; y < height; ++y)
            std::memcpy(static_cast<std::uint8_t*>(map) + rowBytes * static_cast<std::size_t>(y), picture.ScanLine(y), rowBytes);
        ::munmap(map, bytes);
        reply.offset = 0;
        reply.bottomUp = false;
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return false;
    }
    reply.pixels = UniqueFd(fd);
    return true;
}

decode::Reply Decode(TSpi_load& loader, const decode::Request& request, const StatusPage& status) {
    decode::Reply reply;
    try {
        loader.SetFile(request.file);
        loader.CheckFile();
        const imaging::WantedSize wanted{request.wantedWidth, request.wantedHeight};
        const bool ok = loader.LoadPicture(wanted.AtLeast());
        reply.outcome = ok ? decode::Outcome::Picture : decode::Outcome::NoPicture;
        reply.message = loader.LastError();
    } catch (const dib::DibError& e) {
        reply.outcome = decode::Outcome::DibError;
        reply.message = e.what();
    } catch (const imaging::SpiError& e) {
        reply.outcome = decode::Outcome::SpiError;
        reply.message = e.what();
    } catch (const raster::RasterError& e) {
        reply.outcome = decode::Outcome::RasterError;
        reply.message = e.what();
    } catch (const std::exception& e) {
        reply.outcome = decode::Outcome::OtherError;
        reply.message = e.what();
    }
    status.Set({});
    reply.errer = loader.errer;
    reply.colorBit = loader.color_bit;
    reply.throughPlugin = !imaging::IsNativeExtension(loader.FileExt());
    if (loader.CurrentPlugin()) reply.chosenPlugin = loader.CurrentPlugin()->LibraryPath;
    for (const std::string& why : loader.RefusedPlugins()) reply.refused += why + "\n";
    if (loader.Bitmap()) {
        reply.width = loader.Bitmap()->Width();
        reply.height = loader.Bitmap()->Height();
        reply.pictureWidth = loader.PictureSize().width;
        reply.pictureHeight = loader.PictureSize().height;
    }
    if (reply.outcome == decode::Outcome::Picture) {
        if (!loader.Bitmap() || loader.Bitmap()->Empty() || !HandOver(*loader.Bitmap(), reply)) {
            reply.outcome = decode::Outcome::OtherError;
            reply.message = request.file + ": cannot hand the picture over: " + std::strerror(errno);
        }
    }
    return reply;
}

// One decode: the request, the rescan, the filter, the reply. Never returns.
[[noreturn]] void DecodeOne(TSpi_load& loader, const StatusPage& status) {
    std::optional<decode::Request> request = decode::ReadRequest(decode::kSocketFd);
    if (!request) ::_exit(0);
    loader.SpiPathName = request->folder;
    loader.LoadPlugins();
    RestoreChoice(loader, request->carriedPlugin);

    SetLimits(request->memoryBudget);
    helper::BrokerFile(request->file, request->fileFd ? request->fileFd.Get() : -1, request->openError);
    helper::RestrictForDecoding(decode::kSocketFd);

    const decode::Reply reply = Decode(loader, *request, status);
    decode::SendReply(decode::kSocketFd, reply);
    // At once: the picture handed over is no longer mapped here, so nothing
    // may free it, and the program does not wait for a tidy end.
    ::_exit(0);
}

// The warm helper: the plug-ins stay loaded here, and every decode gets a
// copy of this process that finds them loaded. Nothing is decoded here.
[[noreturn]] void Zygote(TSpi_load& loader, StatusPage& status) {
    const char ready = decode::kZygoteReady;
    if (::send(decode::kSocketFd, &ready, 1, MSG_NOSIGNAL) != 1) ::_exit(0);
    for (;;) {
        UniqueFd socket, page;
        if (!decode::ReadSpawn(decode::kSocketFd, socket, page)) ::_exit(0);
        // A child of the program, not of this process: the program waits
        // for it and hears how it ended.
        const pid_t pid = static_cast<pid_t>(::syscall(SYS_clone, CLONE_PARENT | SIGCHLD, 0, 0, 0, 0));
        if (pid == 0) {
            ::dup2(socket.Get(), decode::kSocketFd);
            ::dup2(page.Get(), decode::kStatusFd);
            ::close_range(decode::kStatusFd + 1, ~0U, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            status.Map();
            DecodeOne(loader, status);
        }
        const std::int32_t answer = pid;
        if (::send(decode::kSocketFd, &answer, sizeof answer, MSG_NOSIGNAL) != sizeof answer) ::_exit(0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) return 1;   // the program is gone already
    ::close_range(decode::kStatusFd + 1, ~0U, 0);
    helper::RestrictWhileLoading();
    StatusPage status;
    const bool zygote = argc > 2 && std::strcmp(argv[1], "--zygote") == 0;
    if (!zygote) status.Map();

    TSpi_load loader;
    // What the sequence leaves as it was stays the program's own value.
    loader.color_bit = decode::kUnchanged;
    loader.errer = decode::kUnchanged;
    loader.OnPluginCall = [&status](const std::string& library) { status.Set(library); };
    if (!zygote) DecodeOne(loader, status);
    loader.SpiPathName = argv[2];
    loader.LoadPlugins();
    Zygote(loader, status);
}
