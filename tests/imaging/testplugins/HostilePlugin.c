/* A plug-in that misbehaves inside the decode helper, for the sandbox tests.
 * It takes files that start with "HOSTILE"; a compile definition chooses
 * what GetPicture does:
 *   TP_CRASH  writes through a null pointer
 *   TP_HANG   never returns
 *   TP_HOG    allocates and touches memory until none is left
 *   TP_LIAR   reports a picture far larger than anything it hands over
 *   TP_SNOOP  tries to open /etc/hostname (through the C library and by a
 *             system call of its own), the network and another program.
 *             It never reads what it may open: any success makes it abort,
 *             every refusal makes it fail with SUSIE_ERR_FILE_READ.
 *   TP_MARKER  reads nothing, but writes the file VANTORIA_TEST_MARKER names
 *              as soon as it is loaded: a sign that it was.
 * and whether it declares the heads it takes (susie_heads.h):
 *   TP_DECLARED   "HOSTILE" at the start, soundly
 *   TP_BAD_HEADS  the same, in a table that counts more patterns than it holds */
#define _GNU_SOURCE
#include <fcntl.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "susie.h"

#ifdef TP_MARKER
__attribute__((constructor)) static void Loaded(void) {
    const char* marker = getenv("VANTORIA_TEST_MARKER");
    if (!marker) return;
    const int fd = open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
}
#endif

#if defined(TP_DECLARED)
#include "susie_heads.h"
SUSIE_DECLARE_HEADS(1, {0, 7, 0, "HOSTILE", "\xff\xff\xff\xff\xff\xff\xff"});
#elif defined(TP_BAD_HEADS)
#include "susie_heads.h"
__attribute__((used, section(SUSIE_HEADS_SECTION), aligned(4))) static const struct {
    SusieHeads heads;
    SusieHeadPattern patterns[1];
} bad_heads = {{{'S', 'u', 's', 'H', 'e', 'a', 'd', 's'}, SUSIE_HEADS_VERSION, 2},
               {{0, 7, 0, "HOSTILE", "\xff\xff\xff\xff\xff\xff\xff"}}};
#endif

static int Hostile(int fd) {
    char head[7];
    return pread(fd, head, sizeof head, 0) == (ssize_t)sizeof head && memcmp(head, "HOSTILE", 7) == 0;
}

SUSIE_EXPORT int32_t IsSupported(const char* filename, int32_t fd) {
    (void)filename;
    return Hostile(fd);
}

SUSIE_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, int32_t flag, SusiePictureInfo* info) {
    (void)buf, (void)len, (void)flag;
    memset(info, 0, sizeof *info);
#ifdef TP_LIAR
    info->width = 60000;
    info->height = 60000;
#else
    info->width = 4;
    info->height = 3;
#endif
    info->colorDepth = 24;
    return SUSIE_OK;
}

SUSIE_EXPORT int32_t GetPicture(const char* buf, intptr_t len, int32_t flag, SusieHandle* pHBInfo, SusieHandle* pHBm,
                                SusieProgressCallback progress, int32_t lData) {
    (void)buf, (void)len, (void)flag, (void)progress, (void)lData;
#if defined(TP_CRASH)
    *(volatile int*)(uintptr_t)0 = 1;
#elif defined(TP_HANG)
    for (;;) pause();
#elif defined(TP_HOG)
    for (;;) {
        const size_t chunk = (size_t)64 << 20;
        char* p = malloc(chunk);
        if (!p) return SUSIE_ERR_NO_MEMORY;
        memset(p, 1, chunk);
    }
#elif defined(TP_LIAR)
    SusieBitmapInfoHeader* header = susie_block_alloc(sizeof *header);
    SusieHandle bits = susie_block_alloc(16);
    memset(header, 0, sizeof *header);
    header->biSize = sizeof *header;
    header->biWidth = 60000;
    header->biHeight = 60000;
    header->biPlanes = 1;
    header->biBitCount = 24;
    *pHBInfo = header;
    *pHBm = bits;
    return SUSIE_OK;
#elif defined(TP_SNOOP)
    int fd = open("/etc/hostname", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) abort();
    fd = (int)syscall(SYS_openat, AT_FDCWD, "/etc/hostname", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) abort();
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s >= 0) abort();
    char* const argv[] = {(char*)"true", NULL};
    execv("/bin/true", argv);   /* only returns when refused */
    return SUSIE_ERR_FILE_READ;
#endif
    (void)pHBInfo, (void)pHBm;
    return SUSIE_ERR_INTERNAL;
}
