// vantoria-decode: decodes one picture for the program (imaging/DecodeHelper.h
// is the program's side, imaging/DecodeProtocol.h what they say).
//
//   vantoria-decode                    one decode
//   vantoria-decode --folder FOLDER    one decode, the plug-ins of FOLDER
//                                      loaded while the request is awaited
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
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "imaging/DecodeHelper.h"
#include "imaging/DecodeProtocol.h"
#include "imaging/FileExtension.h"
#include "imaging/PluginFolder.h"
#include "imaging/PluginHeads.h"
#include "imaging/SpiError.h"
#include "imaging/SpiPlugin.h"
#include "imaging/Spi_load.h"
#include "imaging/helper/FileBroker.h"
#include "imaging/helper/LoadAsNeeded.h"
#include "imaging/helper/SandboxFilter.h"
#include "imaging/helper/SharedHeap.h"
#include "platform/dib/DibError.h"
#include "platform/memory/MemoryBudget.h"
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

// The memfd a copied picture goes to, its pages allocated by a thread of its
// own while the plug-in decodes (only where there is memory for the picture
// twice over): the copy at the hand-over then only fills them.
class PictureMemory {
public:
    PictureMemory() = default;
    PictureMemory(const PictureMemory&) = delete;
    PictureMemory& operator=(const PictureMemory&) = delete;
    ~PictureMemory() { Take(); }

    // The size the caller will show the picture at (DecodedPicture.h).
    imaging::WantedSize wanted;

    // For a width x height picture, or the reduction of it the plug-in will
    // likely deliver: by the most of 8, 4 or 2 that leaves each side at
    // least the wanted one. A wrong guess costs only time.
    void Prepare(int width, int height) {
        if (fd_ >= 0 || !imaging::PictureMemoryProblem(width, height, 2).empty()) return;
        if (wanted.AtLeast()) {
            for (const int by : {8, 4, 2}) {
                const int w = (width + by - 1) / by, h = (height + by - 1) / by;
                if (w >= wanted.width && h >= wanted.height) {
                    width = w;
                    height = h;
                    break;
                }
            }
            // What is handed over then is the stretched picture.
            if (wanted.StretchesFrom({width, height})) {
                width = wanted.width;
                height = wanted.height;
            }
        }
        const auto bytes = static_cast<off_t>(imaging::PictureBytes(width, height));
        // A small one is not worth a thread.
        if (bytes < static_cast<off_t>(helper::kSharedBlockBytes)) return;
        fd_ = ::memfd_create("vantoria-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd_ < 0) return;
        try {
            worker_ = std::thread([fd = fd_, bytes] { (void)::fallocate(fd, 0, 0, bytes); });
        } catch (const std::exception&) {
            // no thread: the pages come with the copy
        }
    }

    // The memfd prepared (the caller's), or -1.
    int Take() {
        if (worker_.joinable()) worker_.join();
        return std::exchange(fd_, -1);
    }

private:
    int fd_ = -1;
    std::thread worker_;
};

PictureMemory g_pictureMemory;

// Set in main: whether this process keeps every plug-in loaded (the warm
// helper), and whether large blocks go to the shared heap once loading is
// done (blocks of the libraries' own stay private to each process).
bool g_loadAll = false;
bool g_sharedHeap = false;

// Writes all of [data, data + bytes) at the descriptor's position.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = ::write(fd, data, std::min<std::size_t>(bytes, std::size_t{1} << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the picture's rows, giving back the pages of each part once it is
// written, so that the helper does not hold the picture twice over. Parts
// end on boundaries of huge pages, which are then never split.
bool WriteAndRelease(int fd, const std::uint8_t* data, std::size_t bytes) {
    constexpr std::uintptr_t kPart = std::uintptr_t{8} << 20;
    constexpr std::uintptr_t kPage = 4096;
    auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t end = at + bytes;
    while (at < end) {
        const std::uintptr_t next = std::min(end, (at + kPart) & ~(kPart - 1));
        if (!WriteAll(fd, reinterpret_cast<const std::uint8_t*>(at), next - at)) return false;
        const std::uintptr_t first = (at + kPage - 1) & ~(kPage - 1), last = next & ~(kPage - 1);
        if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
        at = next;
    }
    return true;
}

// Closes `fd`, leaving errno as the failure that came before.
void CloseKeepingErrno(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

// Seals the memfd the picture's rows were written to, so that what the
// program maps can no longer change, and puts it in the reply (or closes it).
bool Seal(int fd, decode::Reply& reply) {
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        CloseKeepingErrno(fd);
        return false;
    }
    reply.pixels = UniqueFd(fd);
    return true;
}

// The memfd a copy of the picture is written to: the one prepared during the
// decode, else a new one. Written, never mapped here: a mapping would fault
// in every page here and have to be taken down again before the seal.
int CopyMemory() {
    const int fd = g_pictureMemory.Take();
    return fd >= 0 ? fd : ::memfd_create("vantoria-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
}

// Ends a copy of `bytes`: a picture delivered smaller than reported leaves
// pages over. Closes the memfd on failure.
bool EndCopy(int fd, bool written, std::size_t bytes) {
    if (written) written = ::ftruncate(fd, static_cast<off_t>(bytes)) == 0;
    if (written) return true;
    CloseKeepingErrno(fd);
    return false;
}

// The picture's rows as a sealed memfd: the block they already lie in when
// the shared heap holds them, else a copy written into a new one. Either way
// no writable mapping of it is left, so that it can be sealed against writes
// too. The picture must not be touched afterwards.
bool HandOver(const raster::Bitmap& picture, decode::Reply& reply) {
    const int width = picture.Width(), height = picture.Height();
    const std::size_t rowBytes = raster::RowBytes(width);
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(height);
    const bool bottomUp = picture.BottomUp();
    const std::uint8_t* lowest = bottomUp ? picture.ScanLine(height - 1) : picture.ScanLine(0);
    const auto stride = static_cast<std::size_t>(picture.Stride() < 0 ? -picture.Stride() : picture.Stride());
    const bool packed = stride == rowBytes;
    if (packed) {
        if (const auto span = helper::FindSharedBlock(lowest, bytes)) {
            const int fd = helper::DetachSharedBlock(lowest);
            if (fd >= 0) {
                reply.offset = span->offset;
                reply.bottomUp = bottomUp;
                return Seal(fd, reply);
            }
        }
    }
    const int fd = CopyMemory();
    if (fd < 0) return false;
    bool written = true;
    if (packed) {
        written = WriteAndRelease(fd, lowest, bytes);
    } else {
        for (int y = 0; y < height && written; ++y) written = WriteAll(fd, picture.ScanLine(y), rowBytes);
    }
    if (!EndCopy(fd, written, bytes)) return false;
    reply.offset = 0;
    reply.bottomUp = packed && bottomUp;
    return Seal(fd, reply);
}

// Writes all of [data, data + bytes) at `offset`.
bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t bytes, off_t offset) {
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, data, std::min<std::size_t>(bytes, std::size_t{1} << 30), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Writes bands of rows to a descriptor on a thread of its own, one band at a
// time, so that the next band is stretched meanwhile; for a single band, or
// without a thread to be had, on the caller's. The caller keeps a band's
// rows unchanged until the next Write or Finish returns.
class BandWriter {
public:
    BandWriter(int fd, bool threaded) : fd_(fd) {
        if (!threaded) return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::exception&) {
            // no thread: Write writes at once
        }
    }
    BandWriter(const BandWriter&) = delete;
    BandWriter& operator=(const BandWriter&) = delete;
    ~BandWriter() { static_cast<void>(Finish()); }

    // False once a write has failed (Finish then gives its errno).
    bool Write(const std::uint8_t* data, std::size_t bytes, off_t offset) {
        if (!thread_.joinable()) {
            if (ok_ && !WriteAllAt(fd_, data, bytes, offset)) {
                ok_ = false;
                error_ = errno;
            }
            return ok_;
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return data_ == nullptr; });
        if (!ok_) return false;
        data_ = data;
        bytes_ = bytes;
        offset_ = offset;
        changed_.notify_all();
        return true;
    }

    // Waits for every band handed over: true when all were written, else
    // false with errno set by the failed write.
    bool Finish() {
        if (thread_.joinable()) {
            {
                const std::lock_guard lock(mutex_);
                done_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        if (!ok_) errno = error_;
        return ok_;
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return data_ != nullptr || done_; });
            if (data_ == nullptr) return;
            lock.unlock();
            const bool written = WriteAllAt(fd_, data_, bytes_, offset_);
            const int error = errno;
            lock.lock();
            if (!written) {
                ok_ = false;
                error_ = error;
            }
            data_ = nullptr;
            changed_.notify_all();
        }
    }

    const int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const std::uint8_t* data_ = nullptr;   // the band being written, or none
    std::size_t bytes_ = 0;
    off_t offset_ = 0;
    bool done_ = false;
    bool ok_ = true;
    int error_ = 0;
    std::thread thread_;   // last: started once the rest is in place
};

// The heights of the bands a picture `height` rows high is stretched in, top
// first, none above `bandRows`. The last band is a quarter of one: nothing
// overlaps its write, which the reply waits for. The first takes what is
// left over: nothing overlaps its stretch either.
std::vector<int> BandHeights(int height, int bandRows) {
    if (height <= bandRows) return {height};
    const int last = std::max(bandRows / 4, 1);
    const int rest = height - last;
    std::vector<int> heights{rest % bandRows == 0 ? bandRows : rest % bandRows};
    for (int top = heights[0]; top < rest; top += bandRows) heights.push_back(bandRows);
    heights.push_back(last);
    return heights;
}

// A band: bottom-up rows, as the memfd holds them, in storage of its own.
struct Band {
    raster::Bitmap storage;
    raster::Bitmap rows;   // a bottom-up view of storage

    Band(int width, int height) : storage(width, height) {
        rows = raster::Bitmap::Adopt(width, height, true,
                                     {storage.ScanLine(0), [](std::uint8_t*) { /* storage's own */ }});
    }
};

// The bands of a stretch handed over, kept to this process's end: freeing
// them would only delay the reply.
std::vector<std::unique_ptr<Band>> g_spentBands;

// `picture` stretched to `size` as a sealed memfd of bottom-up rows (the
// layout of the buffer file, which is then written in one piece): stretched
// a band of rows at a time into one of two small bitmaps and written from
// there, so that the stretched picture never lies whole in this process's
// memory (its fresh pages would each be cleared, written and then copied
// once more).
// The rows are those of raster::Stretched. Throws RasterError or
// std::bad_alloc.
bool HandOverStretched(const raster::Bitmap& picture, raster::ScreenSize size, decode::Reply& reply) {
    // Enough rows for the band to be given huge pages (raster::Bitmap asks
    // for them from 4 MiB on): a couple of faults instead of a thousand.
    constexpr std::size_t kBandBytes = std::size_t{4} << 20;
    const std::size_t rowBytes = raster::RowBytes(size.width);
    const int bandRows = static_cast<int>(std::min<std::size_t>((kBandBytes + rowBytes - 1) / rowBytes,
                                                                static_cast<std::size_t>(size.height)));
    const std::vector<int> heights = BandHeights(size.height, bandRows);
    const int fd = CopyMemory();
    if (fd < 0) return false;
    bool written = true;
    try {
        // Two bands: one is written while the next is stretched into the
        // other.
        g_spentBands.push_back(std::make_unique<Band>(size.width, bandRows));
        if (heights.size() > 1) g_spentBands.push_back(std::make_unique<Band>(size.width, bandRows));
        BandWriter writer(fd, heights.size() > 1);
        int top = 0;
        for (std::size_t i = 0; i < heights.size() && written; top += heights[i++]) {
            raster::Bitmap& band = g_spentBands[g_spentBands.size() - 1 - i % 2]->rows;
            const int count = heights[i];
            // The band is the window [top, top + count) of the whole stretch,
            // drawn into rows [first, first + count) of the band: the first
            // band at its foot, every other at its head. The stretch draws
            // the rows of the window that lie in the band, and no others
            // lie there.
            const int first = i == 0 ? bandRows - count : 0;
            band.StretchDraw(raster::MakeRect(0, first - top, size.width, first - top + size.height), picture);
            const raster::Bitmap& rows = band;
            written = writer.Write(rows.ScanLine(first + count - 1), rowBytes * static_cast<std::size_t>(count),
                                   static_cast<off_t>(rowBytes) * (size.height - top - count));
        }
        written = writer.Finish() && written;
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (!EndCopy(fd, written, rowBytes * static_cast<std::size_t>(size.height))) return false;
    reply.offset = 0;
    reply.bottomUp = true;
    return Seal(fd, reply);
}

// The failure the exception being handled stands for, put in the reply.
void PutFailure(decode::Reply& reply) {
    try {
        throw;
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
}

decode::Reply Decode(TSpi_load& loader, const decode::Request& request, const StatusPage& status) {
    decode::Reply reply;
    bool stretch = false;
    try {
        loader.SetFile(request.file);
        loader.CheckFile();
        const imaging::WantedSize wanted{request.wantedWidth, request.wantedHeight, request.exact};
        const bool ok = loader.LoadPicture(wanted.AtLeast());
        reply.outcome = ok ? decode::Outcome::Picture : decode::Outcome::NoPicture;
        reply.message = loader.LastError();
        // Stretched here, so that only the stretched picture is handed over.
        stretch = ok && loader.Bitmap() && !loader.Bitmap()->Empty() &&
                  wanted.StretchesFrom({loader.Bitmap()->Width(), loader.Bitmap()->Height()});
    } catch (const std::exception&) {
        PutFailure(reply);
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
    if (reply.outcome != decode::Outcome::Picture) return reply;
    const std::optional<raster::Bitmap>& picture = loader.Bitmap();
    if (stretch) {
        reply.width = request.wantedWidth;
        reply.height = request.wantedHeight;
        reply.stretched = true;
        try {
            if (HandOverStretched(*picture, {reply.width, reply.height}, reply)) return reply;
        } catch (const std::exception&) {
            PutFailure(reply);
            return reply;
        }
    } else if (picture && !picture->Empty() && HandOver(*picture, reply)) {
        return reply;
    }
    reply.outcome = decode::Outcome::OtherError;
    reply.message = request.file + ": cannot hand the picture over: " + std::strerror(errno);
    return reply;
}

// One decode: the request, the rescan, the filter, the reply. Never returns.
[[noreturn]] void DecodeOne(TSpi_load& loader, const StatusPage& status) {
    std::optional<decode::Request> request = decode::ReadRequest(decode::kSocketFd);
    if (!request) ::_exit(0);
    loader.SpiPathName = request->folder;
    // A copy of the warm helper finds every plug-in loaded; a helper of its
    // own loads them only as far as the file needs.
    bool whole = true;
    if (g_loadAll) {
        loader.LoadPlugins();
    } else {
        const bool asksPlugins = request->fileFd && !imaging::IsNativeExtension(imaging::FileExtOf(request->file));
        whole = helper::LoadAsNeeded(loader, request->file, asksPlugins,
                                     asksPlugins ? imaging::ReadFileHead(request->fileFd.Get()) : std::nullopt);
    }
    // The earlier choice counts only where no plug-in takes the file, which
    // a copy with plug-ins left to load does not decode.
    if (whole) RestoreChoice(loader, request->carriedPlugin);
    if (g_sharedHeap) helper::UseSharedHeap();

    SetLimits(request->memoryBudget);
    helper::BrokerFile(request->file, request->fileFd ? request->fileFd.Get() : -1, request->openError);
    helper::RestrictForDecoding(decode::kSocketFd);

    g_pictureMemory.wanted = {request->wantedWidth, request->wantedHeight, request->exact};
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
    const bool sharedHeap = helper::SharedPagesCanBeHuge();
    g_sharedHeap = sharedHeap;
    StatusPage status;
    const bool zygote = argc > 2 && std::strcmp(argv[1], "--zygote") == 0;
    const bool early = argc > 2 && std::strcmp(argv[1], "--folder") == 0;
    g_loadAll = zygote;
    if (!zygote) status.Map();

    TSpi_load loader;
    // What the sequence leaves as it was stays the program's own value.
    loader.color_bit = decode::kUnchanged;
    loader.errer = decode::kUnchanged;
    loader.OnPluginCall = [&status](const std::string& library) { status.Set(library); };
    // A picture the shared heap holds is handed over as it lies.
    if (!sharedHeap) loader.OnPictureSize = [](int width, int height) { g_pictureMemory.Prepare(width, height); };
    if (!zygote) {
        // Loaded while the program is still busy starting, until its request
        // comes (helper::LoadAhead); the request's scan of the folder then
        // finds them loaded.
        TSpi_load ahead;
        if (early) {
            ahead.OnPluginCall = loader.OnPluginCall;
            ahead.SpiPathName = argv[2];
            helper::LoadAhead(ahead, [] { return helper::AnythingToRead(decode::kSocketFd); });
        }
        DecodeOne(loader, status);
    }
    loader.SpiPathName = argv[2];
    loader.LoadPlugins();
    Zygote(loader, status);
}
