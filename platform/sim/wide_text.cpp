// The wide text of a caller, as the library's own text. Here wchar_t holds
// whole code points (UTF-32).
#include "platform/platform.h"

// Appends one code point's UTF-8 bytes to out, keeping room for the
// terminator; 0 when they do not fit.
static int PutCodePoint(char *out, size_t capacity, size_t *used, unsigned long c)
{
    unsigned char bytes[4];
    size_t n;
    if (c < 0x80) {
        bytes[0] = (unsigned char)c;
        n = 1;
    } else if (c < 0x800) {
        bytes[0] = (unsigned char)(0xC0 | (c >> 6));
        bytes[1] = (unsigned char)(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        bytes[0] = (unsigned char)(0xE0 | (c >> 12));
        bytes[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | (c & 0x3F));
        n = 3;
    } else {
        bytes[0] = (unsigned char)(0xF0 | (c >> 18));
        bytes[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = (unsigned char)(0x80 | (c & 0x3F));
        n = 4;
    }
    if (*used + n >= capacity)
        return 0;
    for (size_t i = 0; i < n; i++)
        out[(*used)++] = (char)bytes[i];
    return 1;
}

int OsWideToUtf8(const wchar_t *text, char *out, size_t capacity)
{
    if (out == nullptr || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == nullptr)
        return 1;
    size_t used = 0;
    for (; *text; text++) {
        unsigned long c = (unsigned long)*text;
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || !PutCodePoint(out, capacity, &used, c)) {
            out[0] = '\0';
            return 0;
        }
    }
    out[used] = '\0';
    return 1;
}

// The simulated host's ANSI code page is 1252, as on a Western-European
// Windows: Latin-1 but for these at 0x80 to 0x9F. The five bytes it assigns
// no character (0) stand for the control characters of their own value, both
// ways, as Windows maps them, so that every byte survives a round trip.
static const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

static unsigned long CodePointOfAnsi(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : c;
    return c;
}

// The code page's byte for a code point, or 0 when it has none.
static unsigned char AnsiOfCodePoint(unsigned long c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return (unsigned char)c;
    if (c >= 0x80 && c < 0xA0 && kCp1252High[c - 0x80] == 0)
        return (unsigned char)c;
    for (int i = 0; i < 32; i++)
        if (kCp1252High[i] == c)
            return (unsigned char)(0x80 + i);
    return 0;
}

int OsAnsiToUtf8(const char *text, char *out, size_t capacity)
{
    if (out == nullptr || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == nullptr)
        return 1;
    // Straight to UTF-8, with no buffer in between that would set a length
    // of its own on an INI file or an argument.
    size_t used = 0;
    for (; *text != '\0'; text++) {
        if (!PutCodePoint(out, capacity, &used, CodePointOfAnsi((unsigned char)*text))) {
            out[0] = '\0';
            return 0;
        }
    }
    out[used] = '\0';
    return 1;
}

// The next code point of UTF-8 text, advancing *text; a stray byte is one
// code point that no code page has.
static unsigned long NextCodePoint(const unsigned char **text)
{
    const unsigned char *c = *text;
    if ((*c & 0xC0) == 0x80) {
        *text = c + 1;
        return 0xFFFD;
    }
    int extra = *c >= 0xF0 ? 3 : *c >= 0xE0 ? 2 : *c >= 0xC0 ? 1 : 0;
    unsigned long point = extra == 0 ? *c : (unsigned long)(*c & (0x3F >> extra));
    c++;
    for (int i = 0; i < extra; i++, c++) {
        if ((*c & 0xC0) != 0x80) {
            *text = c;
            return 0xFFFD;
        }
        point = (point << 6) | (*c & 0x3F);
    }
    *text = c;
    return point;
}

int OsUtf8ToWide(const char *text, wchar_t *out, size_t capacity)
{
    if (out == nullptr || capacity == 0)
        return 0;
    out[0] = 0;
    if (text == nullptr)
        return 1;
    // wchar_t holds a whole code point here: no surrogates to make.
    size_t used = 0;
    for (const unsigned char *c = (const unsigned char *)text; *c;) {
        if (used + 1 >= capacity) {
            out[0] = 0;
            return 0;
        }
        out[used++] = (wchar_t)NextCodePoint(&c);
    }
    out[used] = 0;
    return 1;
}

int OsUtf8ToAnsi(const char *text, char *out, size_t capacity, int *lossy)
{
    if (lossy != nullptr)
        *lossy = 0;
    if (out == nullptr || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == nullptr)
        return 1;
    size_t used = 0;
    const unsigned char *c = (const unsigned char *)text;
    while (*c != '\0') {
        unsigned char byte = AnsiOfCodePoint(NextCodePoint(&c));
        if (byte == 0) {
            byte = '?';
            if (lossy != nullptr)
                *lossy = 1;
        }
        if (used + 1 >= capacity) {
            out[0] = '\0';
            return 0;
        }
        out[used++] = (char)byte;
    }
    out[used] = '\0';
    return 1;
}
