#pragma once
// What the program and its decode helper (vantoria-decode) say to each other
// over their socket pair (SOCK_SEQPACKET: one message a request, one a reply,
// descriptors passed alongside).
//
// Request: the plug-in folder, the file name the plug-ins are shown, the
// plug-in an earlier decode chose, the memory budget, an optional wanted
// size, and the file itself as an open descriptor (or the reason the program
// could not open it). Reply: how the decode ended, the loader's errer and
// color_bit, the plug-in now chosen, and the picture as a sealed memfd with
// where its rows lie in it.
//
// Nothing in a reply is trusted: the helper runs plug-ins, and a plug-in may
// have taken it over. ReadReply checks every size it is given.

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace vantoria::imaging::decode {

// The helper's descriptors, set up by the program before it runs the helper.
inline constexpr int kSocketFd = 3;   // the socket pair's far end
inline constexpr int kStatusFd = 4;   // a page telling which plug-in runs now
inline constexpr std::size_t kStatusBytes = 4096;

// Longest text either side sends (paths, messages).
inline constexpr std::size_t kMaxText = 16384;

struct Request {
    std::string folder;          // SpiPathName
    std::string file;            // the name the plug-ins are given
    std::string carriedPlugin;   // library path of the last CurrentPlugin, or ""
    std::uint64_t memoryBudget = 0;   // bytes; 0: no limit could be told
    // A size the picture will be shown at, which a plug-in that can decode
    // smaller may use; 0 x 0 asks for the whole picture.
    std::int32_t wantedWidth = 0;
    std::int32_t wantedHeight = 0;
    // The picture will be stretched to exactly the wanted size: the helper
    // may hand it over so (Reply::stretched).
    bool exact = false;
    // The file, open for reading; when it is not, the errno of the failed open.
    UniqueFd fileFd;
    std::int32_t openError = 0;
};

enum class Outcome : std::uint32_t {
    Picture = 0,       // LoadPicture returned true
    NoPicture = 1,     // it returned false (a size, maybe, but no pixels)
    DibError = 2,      // it threw dib::DibError
    SpiError = 3,      // ... imaging::SpiError
    RasterError = 4,   // ... raster::RasterError
    OtherError = 5,    // ... anything else
};

// errer or color_bit that the decode did not set.
inline constexpr std::int32_t kUnchanged = INT32_MIN;

struct Reply {
    Outcome outcome = Outcome::OtherError;
    std::string message;          // LastError() or the exception's text
    std::int32_t errer = 0;
    std::int32_t colorBit = 0;
    bool throughPlugin = false;   // the picture came from a plug-in
    std::string chosenPlugin;     // library path of CurrentPlugin, or ""
    std::string refused;          // RefusedPlugins(), one a line
    std::int32_t width = 0;       // the bitmap's size (also without pixels)
    std::int32_t height = 0;
    // The picture's size in its file, larger than the bitmap's when a
    // plug-in delivered it reduced for the wanted size.
    std::int32_t pictureWidth = 0;
    std::int32_t pictureHeight = 0;
    // With Outcome::Picture: 24-bit rows of RowBytes(width) bytes in `pixels`,
    // the lowest in memory at `offset`, the top row first unless bottomUp.
    bool bottomUp = false;
    std::uint64_t offset = 0;
    // The bitmap is the picture stretched to the request's exact wanted size;
    // the program refuses it at any other size.
    bool stretched = false;
    UniqueFd pixels;
};

// The warm helper (vantoria-decode --zygote FOLDER, its control socket at
// kSocketFd) has the plug-ins of FOLDER loaded and makes a helper for each
// decode on request: the program sends the new helper's socket end and
// status page, the warm helper answers with the new helper's process id. The
// new helper is the program's child (it is made with CLONE_PARENT), so the
// program waits for it as for one it started itself. The warm helper says
// kZygoteReady once its plug-ins are loaded.
inline constexpr char kZygoteReady = 'R';
bool SendSpawn(int control, int socket, int status);
bool ReadSpawn(int control, UniqueFd& socket, UniqueFd& status);

// Whether width x height may be asked as an exact size: one a bitmap can
// have. A request asking another is malformed.
bool CanBeExact(std::int32_t width, std::int32_t height);

// Both return false when the peer is gone or the message is malformed;
// nothing is thrown.
bool SendRequest(int socket, const Request& request);
std::optional<Request> ReadRequest(int socket);
bool SendReply(int socket, const Reply& reply);
// Blocks until a reply comes; the caller polls first for a time limit.
std::optional<Reply> ReadReply(int socket);

// False for a reply whose picture is stretched other than `request` asked
// (not asked at all, or to another size): the program refuses it.
bool StretchedAsAsked(const Request& request, const Reply& reply);

}  // namespace vantoria::imaging::decode
