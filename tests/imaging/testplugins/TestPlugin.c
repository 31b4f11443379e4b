/* A plug-in for the loader tests. Compile definitions choose what it lacks:
 * TP_NO_ISSUPPORTED, TP_NO_GETPICTURE, TP_NO_GETPICTUREINFO, and TP_REFUSE
 * makes it refuse every file.
 *
 * It reads test picture files: TEST_PICTURE_MAGIC, then key=value lines
 *   accept=a,b     names of the plug-ins that read it ("*": all, the default);
 *                  a plug-in's name is its file name without the extension
 *   width, height  reported size (4 x 3); width_NAME: the width plug-in NAME
 *                  reports instead
 *   bits           1, 4, 8, 24 or 32 (24); depth: reported depth (= bits)
 *   colors         biClrUsed (0); table: colour entries written (all declared)
 *   topdown        1: top-down rows
 *   bih_width, bih_height  size stated in the BITMAPINFO (= reported)
 *   info_bytes, bits_bytes size of the blocks handed over (as needed)
 *   null_info, null_bits   hand over a null handle instead
 *   fail_info, fail_picture  the call fails
 *   text_info      GetPictureInfo hands over a text block
 * Every call is appended to the file named by TEST_PLUGIN_LOG_ENV. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "TestPattern.h"
#include "susie.h"

typedef struct Params {
    char accept[256];
    long width, height, bits, depth, colors, table, topdown;
    long bihWidth, bihHeight, infoBytes, bitsBytes;
    long nullInfo, nullBits, failInfo, failPicture, textInfo;
} Params;

static void PluginName(char* out, size_t size) {
    Dl_info info;
    const char* base = "?";
    if (dladdr((void*)&PluginName, &info) && info.dli_fname) {
        const char* slash = strrchr(info.dli_fname, '/');
        base = slash ? slash + 1 : info.dli_fname;
    }
    snprintf(out, size, "%s", base);
    char* dot = strrchr(out, '.');
    if (dot) *dot = '\0';
}

static void Log(const char* format, ...) {
    const char* path = getenv(TEST_PLUGIN_LOG_ENV);
    if (!path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    char name[256];
    PluginName(name, sizeof name);
    fprintf(f, "%s ", name);
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputc('\n', f);
    fclose(f);
}

static long Value(const char* text, const char* key, long fallback) {
    char pattern[64];
    snprintf(pattern, sizeof pattern, "\n%s=", key);
    const char* at = strstr(text, pattern);
    return at ? strtol(at + strlen(pattern), NULL, 10) : fallback;
}

/* Parses a test picture's text; 0 when it is none. */
static int Parse(const char* text, Params* p) {
    if (strncmp(text, TEST_PICTURE_MAGIC, strlen(TEST_PICTURE_MAGIC)) != 0) return 0;
    memset(p, 0, sizeof *p);
    strcpy(p->accept, "*");
    const char* accept = strstr(text, "\naccept=");
    if (accept) sscanf(accept + 8, "%255[^\n]", p->accept);
    p->width = Value(text, "width", 4);
    {
        /* width_NAME: the width plug-in NAME reports, to tell which one read it */
        char name[200], key[210];
        PluginName(name, sizeof name);
        snprintf(key, sizeof key, "width_%s", name);
        p->width = Value(text, key, p->width);
    }
    p->height = Value(text, "height", 3);
    p->bits = Value(text, "bits", 24);
    p->depth = Value(text, "depth", p->bits);
    p->colors = Value(text, "colors", 0);
    p->table = Value(text, "table", p->bits <= 8 ? (p->colors ? p->colors : 1L << p->bits) : 0);
    p->topdown = Value(text, "topdown", 0);
    p->bihWidth = Value(text, "bih_width", p->width);
    p->bihHeight = Value(text, "bih_height", p->height);
    p->infoBytes = Value(text, "info_bytes", -1);
    p->bitsBytes = Value(text, "bits_bytes", -1);
    p->nullInfo = Value(text, "null_info", 0);
    p->nullBits = Value(text, "null_bits", 0);
    p->failInfo = Value(text, "fail_info", 0);
    p->failPicture = Value(text, "fail_picture", 0);
    p->textInfo = Value(text, "text_info", 0);
    return 1;
}

static int ParseFd(int fd, Params* p) {
    char text[4096];
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n < 0) return 0;
    text[n] = '\0';
    return Parse(text, p);
}

static int ParseFile(const char* path, Params* p) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    int ok = ParseFd(fd, p);
    close(fd);
    return ok;
}

static int Accepts(const Params* p) {
    if (strcmp(p->accept, "*") == 0) return 1;
    char name[256];
    PluginName(name, sizeof name);
    char list[258];
    snprintf(list, sizeof list, ",%s,", p->accept);
    char wanted[260];
    snprintf(wanted, sizeof wanted, ",%s,", name);
    return strstr(list, wanted) != NULL;
}

#ifndef TP_NO_ISSUPPORTED
int32_t IsSupported(const char* filename, int32_t fd) {
    (void)filename;
    Log("IsSupported pos=%ld", (long)lseek(fd, 0, SEEK_CUR));
#ifdef TP_REFUSE
    return 0;
#else
    Params p;
    return ParseFd(fd, &p) && Accepts(&p);
#endif
}
#endif

#ifndef TP_NO_GETPICTUREINFO
int32_t GetPictureInfo(const char* buf, intptr_t len, int32_t flag, SusiePictureInfo* lpInfo) {
    (void)len;
    (void)flag;
    Log("GetPictureInfo");
    Params p;
    if (!ParseFile(buf, &p) || !Accepts(&p) || p.failInfo) return SUSIE_ERR_UNKNOWN_FORMAT;
    memset(lpInfo, 0, sizeof *lpInfo);
    lpInfo->width = (int32_t)p.width;
    lpInfo->height = (int32_t)p.height;
    lpInfo->colorDepth = (int16_t)p.depth;
    if (p.textInfo) {
        static const char kText[] = "comment: a test picture";
        lpInfo->hInfo = susie_block_alloc(sizeof kText);
        if (lpInfo->hInfo) memcpy(lpInfo->hInfo, kText, sizeof kText);
    }
    return SUSIE_OK;
}
#endif

#ifndef TP_NO_GETPICTURE
static void PutHeader(unsigned char* out, const Params* p) {
    SusieBitmapInfoHeader h;
    memset(&h, 0, sizeof h);
    h.biSize = sizeof h;
    h.biWidth = (int32_t)p->bihWidth;
    h.biHeight = (int32_t)(p->topdown ? -p->bihHeight : p->bihHeight);
    h.biPlanes = 1;
    h.biBitCount = (uint16_t)p->bits;
    h.biCompression = SUSIE_BI_RGB;
    h.biClrUsed = (uint32_t)p->colors;
    memcpy(out, &h, sizeof h);
    for (long i = 0; i < p->table; ++i) {
        TestPaletteColor((int)i, out + sizeof h + 4 * i);
        out[sizeof h + 4 * i + 3] = 0;
    }
}

static void PutPixel(unsigned char* row, int x, int y, const Params* p) {
    if (p->bits >= 24) {
        TestPatternColor(x, y, row + x * (p->bits / 8));
        if (p->bits == 32) row[x * 4 + 3] = 0xFF;
        return;
    }
    const int bits = (int)p->bits;
    const int index = TestPatternIndex(x, y, bits);
    const int bit = x * bits;
    row[bit / 8] |= (unsigned char)(index << (8 - bits - bit % 8));
}

int32_t GetPicture(const char* buf, intptr_t len, int32_t flag, SusieHandle* pHBInfo,
                   SusieHandle* pHBm, SusieProgressCallback lpProgressCallback, int32_t lData) {
    (void)len;
    (void)flag;
    (void)lpProgressCallback;
    (void)lData;
    Params p;
    if (!ParseFile(buf, &p) || !Accepts(&p) || p.failPicture) {
        Log("GetPicture failed");
        return SUSIE_ERR_BROKEN_DATA;
    }
    const size_t fullInfo = sizeof(SusieBitmapInfoHeader) + 4 * (size_t)p.table;
    const size_t infoBytes = p.infoBytes >= 0 ? (size_t)p.infoBytes : fullInfo;
    const size_t rowBytes = (((size_t)p.bihWidth * (size_t)p.bits + 31) / 32) * 4;
    const size_t imageBytes = rowBytes * (size_t)p.bihHeight;
    const size_t bitsBytes = p.bitsBytes >= 0 ? (size_t)p.bitsBytes : imageBytes;

    unsigned char* info = calloc(1, fullInfo);
    SusieHandle hInfo = susie_block_alloc(infoBytes);
    SusieHandle hBits = susie_block_alloc(bitsBytes);
    if (!info || !hInfo || !hBits) {
        free(info);
        susie_block_free(hInfo);
        susie_block_free(hBits);
        return SUSIE_ERR_NO_MEMORY;
    }
    PutHeader(info, &p);
    memcpy(hInfo, info, infoBytes < fullInfo ? infoBytes : fullInfo);
    free(info);

    unsigned char* bits = hBits;
    memset(bits, 0, bitsBytes);
    for (long r = 0; r < p.bihHeight && (size_t)(r + 1) * rowBytes <= bitsBytes; ++r) {
        const int y = (int)(p.topdown ? r : p.bihHeight - 1 - r);
        for (int x = 0; x < p.bihWidth; ++x) PutPixel(bits + r * rowBytes, x, y, &p);
    }
    if (p.nullInfo) {
        susie_block_free(hInfo);
        hInfo = NULL;
    }
    if (p.nullBits) {
        susie_block_free(hBits);
        hBits = NULL;
    }
    Log("GetPicture bits=%p", hBits);
    *pHBInfo = hInfo;
    *pHBm = hBits;
    return SUSIE_OK;
}
#endif
