#undef _FORTIFY_SOURCE
#include "imaging/helper/FileBroker.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantoria::imaging::helper {

namespace {

bool g_active = false;
std::string g_name;
int g_fd = -1;
int g_error = ENOENT;

bool ReadOnly(int flags) { return (flags & O_ACCMODE) == O_RDONLY && (flags & (O_CREAT | O_TRUNC)) == 0; }

int Brokered(const char* path, int flags) {
    if (path && ReadOnly(flags) && g_name == path) {
        if (g_fd < 0) {
            errno = g_error;
            return -1;
        }
        const int fd = ::fcntl(g_fd, F_DUPFD_CLOEXEC, 0);
        // A duplicate shares the position: every opener starts at the start.
        if (fd >= 0) ::lseek(fd, 0, SEEK_SET);
        return fd;
    }
    errno = EACCES;
    return -1;
}

int Open(int dirfd, const char* path, int flags, mode_t mode) {
    if (g_active) return Brokered(path, flags);
    return static_cast<int>(::syscall(SYS_openat, dirfd, path, flags, mode));
}

mode_t ModeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

using FopenFn = FILE* (*)(const char*, const char*);

FILE* Fopen(const char* name, const char* path, const char* mode) {
    if (!g_active) {
        static const auto real = reinterpret_cast<FopenFn>(::dlsym(RTLD_NEXT, name));
        if (!real) {
            errno = ENOSYS;
            return nullptr;
        }
        return real(path, mode);
    }
    if (!mode || mode[0] != 'r' || strchr(mode, '+')) {
        errno = EACCES;
        return nullptr;
    }
    const int fd = Brokered(path, O_RDONLY);
    if (fd < 0) return nullptr;
    FILE* file = ::fdopen(fd, "r");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

void BrokerFile(const std::string& name, int fd, int openError) {
    g_name = name;
    g_fd = fd;
    g_error = openError != 0 ? openError : ENOENT;
    g_active = true;
}

}  // namespace vantoria::imaging::helper

namespace broker = vantoria::imaging::helper;

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = broker::ModeArgument(flags, args);
    va_end(args);
    return broker::Open(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = broker::ModeArgument(flags, args);
    va_end(args);
    return broker::Open(AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = broker::ModeArgument(flags, args);
    va_end(args);
    return broker::Open(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = broker::ModeArgument(flags, args);
    va_end(args);
    return broker::Open(dirfd, path, flags, mode);
}

// The forms a program built with _FORTIFY_SOURCE calls.
int __open_2(const char* path, int flags) { return broker::Open(AT_FDCWD, path, flags, 0); }
int __open64_2(const char* path, int flags) { return broker::Open(AT_FDCWD, path, flags, 0); }
int __openat_2(int dirfd, const char* path, int flags) { return broker::Open(dirfd, path, flags, 0); }
int __openat64_2(int dirfd, const char* path, int flags) { return broker::Open(dirfd, path, flags, 0); }

FILE* fopen(const char* path, const char* mode) { return broker::Fopen("fopen", path, mode); }
FILE* fopen64(const char* path, const char* mode) { return broker::Fopen("fopen64", path, mode); }

}  // extern "C"
