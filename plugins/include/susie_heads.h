/*
 * susie_heads.h - an optional declaration, inside a plug-in's own file, of
 * the first bytes of the files its IsSupported can accept. Plain C.
 *
 * A host that reads it before loading the plug-in need not load (nor ask) a
 * plug-in whose declaration rules out the file at hand, which saves the
 * load of its libraries. A plug-in without one is loaded and asked as
 * always; so is one whose declaration the host cannot read or doubts.
 *
 * The promise: whenever IsSupported says yes for a file, the file's first
 * bytes match at least one of the declared patterns. A pattern matches when
 * the file has at least offset + length bytes and, for each i below length,
 * (byte[offset + i] & mask[i]) == (bytes[i] & mask[i]). Declare less rather
 * than more: a pattern may admit files IsSupported refuses, never the other
 * way round.
 *
 * Where: the ELF section named SUSIE_HEADS_SECTION holds one SusieHeads
 * record followed by `count` SusieHeadPattern records, every integer little
 * endian, nothing else. Declare it once, at file scope, with
 * SUSIE_DECLARE_HEADS (or build the same bytes another way):
 *
 *   SUSIE_DECLARE_HEADS(2, {0, 6, 0, "GIF87a", "\xff\xff\xff\xff\xff\xff"},
 *                          {0, 6, 0, "GIF89a", "\xff\xff\xff\xff\xff\xff"});
 */
#ifndef VANTORIA_SUSIE_HEADS_H
#define VANTORIA_SUSIE_HEADS_H

#include <stdint.h>

#define SUSIE_HEADS_SECTION ".susie_heads"
#define SUSIE_HEADS_MAGIC "SusHeads" /* 8 bytes, no terminating zero stored */
#define SUSIE_HEADS_VERSION 1u
/* Bounds a host holds a declaration to; one beyond them is not used. */
#define SUSIE_HEAD_PATTERN_BYTES 24  /* bytes compared by one pattern, at most */
#define SUSIE_HEADS_MAX_PATTERNS 64
#define SUSIE_HEADS_MAX_END 4096     /* offset + length of a pattern, at most */

typedef struct SusieHeadPattern {
    uint16_t offset;    /* of the first byte compared, from the file's start */
    uint8_t length;     /* bytes compared, 1 to SUSIE_HEAD_PATTERN_BYTES */
    uint8_t reserved;   /* 0 */
    uint8_t bytes[SUSIE_HEAD_PATTERN_BYTES];
    uint8_t mask[SUSIE_HEAD_PATTERN_BYTES];
} SusieHeadPattern;

typedef struct SusieHeads {
    char magic[8];      /* SUSIE_HEADS_MAGIC */
    uint32_t version;   /* SUSIE_HEADS_VERSION */
    uint32_t count;     /* patterns that follow, 1 to SUSIE_HEADS_MAX_PATTERNS */
} SusieHeads;

#ifdef __cplusplus
#define SUSIE_HEADS_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define SUSIE_HEADS_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
SUSIE_HEADS_ASSERT(sizeof(SusieHeadPattern) == 4 + 2 * SUSIE_HEAD_PATTERN_BYTES, "no padding in a pattern");
SUSIE_HEADS_ASSERT(sizeof(SusieHeads) == 16, "no padding in the header");

/* The declaration: `n` patterns, each a SusieHeadPattern initialiser. Kept
 * by the compiler and linker although nothing refers to it. */
#define SUSIE_DECLARE_HEADS(n, ...)                                                             \
    __attribute__((used, section(SUSIE_HEADS_SECTION), aligned(4))) static const struct {      \
        SusieHeads heads;                                                                      \
        SusieHeadPattern patterns[n];                                                          \
    } susie_declared_heads = {{{'S', 'u', 's', 'H', 'e', 'a', 'd', 's'}, SUSIE_HEADS_VERSION, n}, \
                              {__VA_ARGS__}}

#endif /* VANTORIA_SUSIE_HEADS_H */
