/* The pictures the test plug-ins hand over, shared with the tests that
 * check them. Plain C. */
#ifndef VANTORIA_TEST_PATTERN_H
#define VANTORIA_TEST_PATTERN_H

/* Colour of pixel (x, y), y counted from the top, as blue, green, red. */
static inline void TestPatternColor(int x, int y, unsigned char bgr[3]) {
    bgr[0] = (unsigned char)((x * 13 + y * 7 + 1) & 255);
    bgr[1] = (unsigned char)((x * 5 + y * 53) & 255);
    bgr[2] = (unsigned char)((x * 37 + y * 11) & 255);
}

/* Colour-table index of pixel (x, y) at 1, 4 or 8 bits a pixel. */
static inline int TestPatternIndex(int x, int y, int bits) { return (x + 2 * y) % (1 << bits); }

/* Colour-table entry i; never black. */
static inline void TestPaletteColor(int i, unsigned char bgr[3]) {
    bgr[0] = (unsigned char)((i * 7) & 255);
    bgr[1] = (unsigned char)((255 - i * 30) & 255);
    bgr[2] = (unsigned char)((i * 40 + 5) & 255);
}

/* First line of every test picture file; key=value lines follow. */
#define TEST_PICTURE_MAGIC "VANTORIA-TESTPIC"
/* Where the plug-ins log their calls, one line a call: "<name> <call> ...". */
#define TEST_PLUGIN_LOG_ENV "VANTORIA_TESTPLUGIN_LOG"

#endif
