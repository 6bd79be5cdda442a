// Bounded text helpers: the only way the library builds strings in fixed
// buffers. Each always terminates and reports whether the whole text fitted.
#include "platform.h"

#include <stdio.h>
#include <string.h>

int TextCopy(char *dst, size_t capacity, const char *src)
{
    if (dst == NULL || capacity == 0)
        return 0;
    if (src == NULL) {
        dst[0] = '\0';
        return 1;
    }
    size_t n = strlen(src);
    int fits = n < capacity;
    if (!fits)
        n = capacity - 1;
    memmove(dst, src, n);
    dst[n] = '\0';
    return fits;
}

int TextCopyWhole(char *dst, size_t capacity, const char *src)
{
    if (dst == NULL || capacity == 0)
        return 0;
    size_t n = src ? strlen(src) : 0;
    if (n >= capacity)
        return 0;
    if (n)
        memmove(dst, src, n);
    dst[n] = '\0';
    return 1;
}

int TextAppend(char *dst, size_t capacity, const char *src)
{
    if (dst == NULL || capacity == 0)
        return 0;
    size_t have = strnlen(dst, capacity);
    if (have >= capacity)
        return 0; // dst was not terminated within its capacity
    size_t n = src ? strlen(src) : 0;
    if (have + n >= capacity)
        return 0;
    memmove(dst + have, src, n);
    dst[have + n] = '\0';
    return 1;
}

int TextFormatV(char *dst, size_t capacity, const char *format, va_list args)
{
    if (dst == NULL || capacity == 0)
        return 0;
    int n = vsnprintf(dst, capacity, format ? format : "", args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    dst[capacity - 1] = '\0';
    return (size_t)n < capacity;
}

int TextFormat(char *dst, size_t capacity, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int fitted = TextFormatV(dst, capacity, format, args);
    va_end(args);
    return fitted;
}

// The length of the well-formed UTF-8 sequence at c (1 to 4), or 0 when
// the byte there starts none: a stray continuation byte, C0, C1, F5 to FF, a
// lead byte without its continuations, an overlong form or a surrogate.
static size_t SequenceLength(const unsigned char *c)
{
    if (*c < 0x80)
        return 1;
    size_t n;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (*c >= 0xC2 && *c <= 0xDF) {
        n = 2;
    } else if (*c >= 0xE0 && *c <= 0xEF) {
        n = 3;
        if (*c == 0xE0)
            low = 0xA0;
        else if (*c == 0xED)
            high = 0x9F;
    } else if (*c >= 0xF0 && *c <= 0xF4) {
        n = 4;
        if (*c == 0xF0)
            low = 0x90;
        else if (*c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (c[1] < low || c[1] > high)
        return 0;
    for (size_t i = 2; i < n; i++)
        if ((c[i] & 0xC0) != 0x80)
            return 0;
    return n;
}

size_t TextUtf16Length(const char *text)
{
    size_t units = 0;
    if (text == NULL)
        return 0;
    const unsigned char *c = (const unsigned char *)text;
    while (*c) {
        size_t n = SequenceLength(c);
        // A stray byte counts as one unit: it can only stand for one
        // character, and a path is never taken for shorter than it is.
        units += n == 4 ? 2 : 1;
        c += n ? n : 1;
    }
    return units;
}

int TextFitsPath(const char *text)
{
    if (text == NULL)
        return 1;
    // Bounded first: an unterminated or huge text is refused without a scan.
    return strnlen(text, OS_PATH_BUFFER) < OS_PATH_BUFFER && TextUtf16Length(text) < OS_MAX_PATH;
}

int TextCopyPath(char *dst, const char *src)
{
    if (!TextFitsPath(src))
        return 0;
    return TextCopyWhole(dst, OS_PATH_BUFFER, src);
}

int TextAppendPath(char *dst, const char *src)
{
    if (dst == NULL || !TextFitsPath(dst))
        return 0;
    // Measured joined, not as the sum of both parts: bytes cut from one
    // character at the seam count as strays apart but as one unit together.
    char joined[OS_PATH_BUFFER];
    if (!TextCopyWhole(joined, sizeof joined, dst) || !TextAppend(joined, sizeof joined, src) ||
        !TextFitsPath(joined))
        return 0;
    return TextCopyWhole(dst, OS_PATH_BUFFER, joined);
}

static unsigned char LowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

int TextCompareNoCaseN(const char *a, const char *b, size_t n)
{
    if (a == NULL)
        a = "";
    if (b == NULL)
        b = "";
    for (size_t i = 0; i < n; i++) {
        unsigned char ca = LowerAscii((unsigned char)a[i]);
        unsigned char cb = LowerAscii((unsigned char)b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == '\0')
            return 0;
    }
    return 0;
}

int TextCompareNoCase(const char *a, const char *b)
{
    return TextCompareNoCaseN(a, b, (size_t)-1);
}

void TextLowerAscii(char *text)
{
    if (text == NULL)
        return;
    for (; *text; text++)
        *text = (char)LowerAscii((unsigned char)*text);
}

// Every byte of ANSI text and every wide unit takes at most this many bytes
// of UTF-8 (a double-byte character takes three for its two bytes).
#define UTF8_PER_UNIT 4

static char *ArgumentBuffer(size_t units, size_t *capacity)
{
    *capacity = units * UTF8_PER_UNIT + 1;
    return (char *)OsAlloc(*capacity);
}

char *TextFromAnsiArgument(const char *text, int *bad)
{
    *bad = 0;
    if (text == NULL)
        return NULL;
    size_t capacity;
    char *out = ArgumentBuffer(strlen(text), &capacity);
    if (out == NULL || !OsAnsiToUtf8(text, out, capacity)) {
        OsFree(out);
        *bad = 1;
        return NULL;
    }
    return out;
}

char *TextFromWideArgument(const wchar_t *text, int *bad)
{
    *bad = 0;
    if (text == NULL)
        return NULL;
    size_t units = 0;
    while (text[units] != 0)
        units++;
    size_t capacity;
    char *out = ArgumentBuffer(units, &capacity);
    if (out == NULL || !OsWideToUtf8(text, out, capacity)) {
        OsFree(out);
        *bad = 1;
        return NULL;
    }
    return out;
}
