/*
 * susie.h - the image plug-in interface of Vantoria, for plug-in authors and
 * for the host that loads them. Plain C, usable from C and C++.
 *
 * A plug-in is a shared library named *.spi that exports, with the C calling
 * convention, at least IsSupported and GetPicture; the host also looks up
 * GetPictureInfo, GetPreview, GetArchiveInfo and GetFile, and every plug-in we
 * ship exports GetPluginInfo as well. Define the functions declared at the end
 * of this header; they are declared with default visibility, so they stay
 * exported when the rest of the library is built with -fvisibility=hidden.
 *
 * The contract
 * ------------
 * IsSupported(filename, fd): fd is an open, read-only file descriptor of
 *   that file, positioned at its start. The plug-in may read from it but must
 *   not close it; it should decide from the file's first bytes (pread at
 *   offset 0 leaves the position alone), not from the name. The caller opens a
 *   fresh descriptor for every plug-in it asks and closes it afterwards.
 *   Non-zero means "this plug-in reads the file".
 *
 * buf, len, flag: with (flag & SUSIE_INPUT_MASK) == SUSIE_INPUT_FILE, buf is
 *   the zero-terminated file name and len the offset in the file where the
 *   picture starts. With SUSIE_INPUT_MEMORY (where a plug-in supports it) buf
 *   points to the picture's bytes and len is their number.
 *
 * GetPictureInfo fills a SusiePictureInfo. Its hInfo is null or a block made
 *   with susie_block_alloc (text information), which the caller frees with
 *   susie_block_free. The record is packed (hInfo is not aligned): read its
 *   members by value, never through a reference or pointer to a member.
 *
 * GetPicture stores two blocks, both made with susie_block_alloc and both
 *   freed by the caller with susie_block_free:
 *   *pHBInfo: a BITMAPINFO, i.e. a SusieBitmapInfoHeader followed by its
 *             colour table or bit-field masks;
 *   *pHBm:    the pixel rows in device-independent bitmap layout: each row
 *             padded to a multiple of 4 bytes, the bottom row first when
 *             biHeight is positive.
 *   On failure neither pointer is set to a block the caller must free.
 *
 * Progress callback: may be null. A plug-in that gets one calls it now and
 *   then with the work done so far (nNum of nDenom) and the caller's lData;
 *   a non-zero answer asks it to stop, and it returns SUSIE_ERR_CANCELLED.
 *
 * Memory blocks: every block handed across the interface carries a small
 * header in front of the returned pointer with a magic value and the byte
 * size, so the host can tell how many bytes it may read from it. Always use
 * the susie_block_* helpers below; memory from any other allocator is not a
 * block (susie_block_size answers 0 for it only when the bytes in front of it
 * happen not to hold the magic value, so do not rely on that).
 *
 * GetPictureReduced (optional; a host looks it up and calls it only where a
 *   plug-in exports it, and a plug-in need not): GetPicture for a caller that
 *   will draw the picture no larger than minWidth x minHeight. The plug-in
 *   may deliver the picture scaled down by a factor its decoder makes
 *   cheaply, as long as each side stays at least the asked one (a side the
 *   caller does not care about is asked as 1); it may also deliver it at
 *   full size. The blocks are GetPicture's, and the BITMAPINFO's biWidth and
 *   |biHeight| give the size delivered. GetPictureInfo still reports the
 *   picture's own size.
 *
 * GetPluginInfo(infono, buf, buflen): infono 0 gives the interface version
 *   "00IN", 1 the plug-in's name, 2n+2 the n-th file pattern (e.g. "*.png",
 *   several joined with ';') and 2n+3 its description. The text is copied
 *   into buf, truncated to buflen - 1 bytes and always zero-terminated; the
 *   result is the number of bytes written before the terminating zero, and 0
 *   when infono is out of range (or buf is null or buflen < 1).
 */
#ifndef VANTORIA_SUSIE_H
#define VANTORIA_SUSIE_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
#define SUSIE_EXTERN_C extern "C"
#define SUSIE_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define SUSIE_EXTERN_C
#define SUSIE_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define SUSIE_EXPORT SUSIE_EXTERN_C __attribute__((visibility("default")))

/* Interface version answered for GetPluginInfo(0). */
#define SUSIE_API_VERSION "00IN"

/* A memory block handed across the interface (see susie_block_alloc). */
typedef void* SusieHandle;

/* Result codes of every entry point except IsSupported and GetPluginInfo. */
enum {
    SUSIE_OK = 0,
    SUSIE_ERR_NOT_IMPLEMENTED = -1,
    SUSIE_ERR_CANCELLED = 1,      /* the progress callback asked to stop */
    SUSIE_ERR_UNKNOWN_FORMAT = 2,
    SUSIE_ERR_BROKEN_DATA = 3,
    SUSIE_ERR_NO_MEMORY = 4,
    SUSIE_ERR_MEMORY = 5,         /* a memory block could not be used */
    SUSIE_ERR_FILE_READ = 6,
    SUSIE_ERR_INTERNAL = 8
};

/* The input selector in the low bits of `flag`. */
enum {
    SUSIE_INPUT_MASK = 7,
    SUSIE_INPUT_FILE = 0,         /* buf: file name, len: offset of the picture */
    SUSIE_INPUT_MEMORY = 1        /* buf: the picture's bytes, len: their count */
};

typedef int32_t (*SusieProgressCallback)(int32_t nNum, int32_t nDenom, int32_t lData);

#pragma pack(push, 1)

typedef struct SusiePictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth;           /* bits per pixel of what GetPicture delivers */
    SusieHandle hInfo;            /* null, or a block of text information */
} SusiePictureInfo;

/* The Windows BITMAPINFOHEADER, field for field. */
typedef struct SusieBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;             /* positive: bottom-up rows */
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
} SusieBitmapInfoHeader;

/* The Windows RGBQUAD: one colour table entry. */
typedef struct SusieRgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
} SusieRgbQuad;

#pragma pack(pop)

SUSIE_STATIC_ASSERT(sizeof(SusiePictureInfo) == 4 * 4 + 2 * 2 + 2 + sizeof(void*),
                    "SusiePictureInfo must be packed");
SUSIE_STATIC_ASSERT(sizeof(SusieBitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
SUSIE_STATIC_ASSERT(sizeof(SusieRgbQuad) == 4, "RGBQUAD is 4 bytes");

/* biCompression values. */
enum { SUSIE_BI_RGB = 0, SUSIE_BI_BITFIELDS = 3 };

/* ---- Memory blocks ---------------------------------------------------- */

#define SUSIE_BLOCK_MAGIC UINT64_C(0x4b4c424569737553) /* "SusieBLK" */

/* The header in front of a block's data; 16 bytes keep the data aligned as
 * malloc aligns. */
typedef struct SusieBlockHeader {
    uint64_t magic;
    uint64_t size;
} SusieBlockHeader;

static inline SusieBlockHeader* susie_block_header_(SusieHandle h) {
    return (SusieBlockHeader*)((unsigned char*)h - sizeof(SusieBlockHeader));
}

/* A block of `size` bytes (contents unspecified); null when out of memory. */
static inline SusieHandle susie_block_alloc(size_t size) {
    SusieBlockHeader* head;
    if (size > SIZE_MAX - sizeof(SusieBlockHeader)) return NULL;
    head = (SusieBlockHeader*)malloc(sizeof(SusieBlockHeader) + size);
    if (head == NULL) return NULL;
    head->magic = SUSIE_BLOCK_MAGIC;
    head->size = size;
    return (SusieHandle)(head + 1);
}

/* True when h is a live block. */
static inline int susie_block_valid(SusieHandle h) {
    return h != NULL && susie_block_header_(h)->magic == SUSIE_BLOCK_MAGIC;
}

/* The block's size in bytes; 0 for a null handle or one without the magic. */
static inline size_t susie_block_size(SusieHandle h) {
    return susie_block_valid(h) ? (size_t)susie_block_header_(h)->size : 0;
}

/* The block's bytes; null for a null handle or one without the magic. */
static inline void* susie_block_data(SusieHandle h) {
    return susie_block_valid(h) ? h : NULL;
}

/* Frees a block. A null handle is ignored; so is a handle without the magic
 * (it was never a block, or was freed already: freeing it would be worse
 * than leaking it). */
static inline void susie_block_free(SusieHandle h) {
    SusieBlockHeader* head;
    if (!susie_block_valid(h)) return;
    head = susie_block_header_(h);
    head->magic = 0;              /* a second free finds no magic */
    free(head);
}

/* ---- GetPluginInfo ------------------------------------------------------ */

/* Copies `text` into buf as GetPluginInfo does; see the contract above. */
static inline int32_t susie_copy_info(const char* text, char* buf, int32_t buflen) {
    size_t n;
    if (text == NULL || buf == NULL || buflen < 1) return 0;
    n = strlen(text);
    if (n > (size_t)buflen - 1) n = (size_t)buflen - 1;
    memcpy(buf, text, n);
    buf[n] = '\0';
    return (int32_t)n;
}

/* GetPluginInfo over a table: texts[0] is the version, texts[1] the name,
 * then pattern and description pairs. */
static inline int32_t susie_plugin_info(const char* const* texts, int32_t count, int32_t infono,
                                        char* buf, int32_t buflen) {
    if (infono < 0 || infono >= count) return 0;
    return susie_copy_info(texts[infono], buf, buflen);
}

/* ---- Entry points --------------------------------------------------------- */

/* For the host, which finds them with dlsym. */
typedef int32_t (*SusieIsSupportedFn)(const char* filename, int32_t fd);
typedef int32_t (*SusieGetPictureInfoFn)(const char* buf, intptr_t len, int32_t flag,
                                         SusiePictureInfo* lpInfo);
typedef int32_t (*SusieGetPictureFn)(const char* buf, intptr_t len, int32_t flag,
                                     SusieHandle* pHBInfo, SusieHandle* pHBm,
                                     SusieProgressCallback lpProgressCallback, int32_t lData);
typedef int32_t (*SusieGetPreviewFn)(const char* buf, intptr_t len, int32_t flag,
                                     SusieHandle* pHBInfo, SusieHandle* pHBm,
                                     SusieProgressCallback lpProgressCallback, int32_t lData);
typedef int32_t (*SusieGetArchiveInfoFn)(const char* buf, intptr_t len, int32_t flag,
                                         SusieHandle* lphInf);
typedef int32_t (*SusieGetFileFn)(const char* src, intptr_t len, char* dest, int32_t flag,
                                  SusieProgressCallback lpProgressCallback, int32_t lData);
typedef int32_t (*SusieGetPluginInfoFn)(int32_t infono, char* buf, int32_t buflen);
typedef int32_t (*SusieGetPictureReducedFn)(const char* buf, intptr_t len, int32_t flag,
                                            int32_t minWidth, int32_t minHeight,
                                            SusieHandle* pHBInfo, SusieHandle* pHBm,
                                            SusieProgressCallback lpProgressCallback, int32_t lData);

/* For plug-in authors, who define them. */
SUSIE_EXPORT int32_t IsSupported(const char* filename, int32_t fd);
SUSIE_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, int32_t flag,
                                    SusiePictureInfo* lpInfo);
SUSIE_EXPORT int32_t GetPicture(const char* buf, intptr_t len, int32_t flag,
                                SusieHandle* pHBInfo, SusieHandle* pHBm,
                                SusieProgressCallback lpProgressCallback, int32_t lData);
SUSIE_EXPORT int32_t GetPreview(const char* buf, intptr_t len, int32_t flag,
                                SusieHandle* pHBInfo, SusieHandle* pHBm,
                                SusieProgressCallback lpProgressCallback, int32_t lData);
SUSIE_EXPORT int32_t GetArchiveInfo(const char* buf, intptr_t len, int32_t flag,
                                    SusieHandle* lphInf);
SUSIE_EXPORT int32_t GetFile(const char* src, intptr_t len, char* dest, int32_t flag,
                             SusieProgressCallback lpProgressCallback, int32_t lData);
SUSIE_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen);
/* Optional. */
SUSIE_EXPORT int32_t GetPictureReduced(const char* buf, intptr_t len, int32_t flag,
                                       int32_t minWidth, int32_t minHeight,
                                       SusieHandle* pHBInfo, SusieHandle* pHBm,
                                       SusieProgressCallback lpProgressCallback, int32_t lData);

#endif /* VANTORIA_SUSIE_H */
