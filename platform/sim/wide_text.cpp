// The wide text of a caller, as the library's own text. Here wchar_t holds
// whole code points (UTF-32).
#include "platform/platform.h"

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
        unsigned char bytes[4];
        size_t n;
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            out[0] = '\0';
            return 0;
        }
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
        if (used + n >= capacity) {
            out[0] = '\0';
            return 0;
        }
        for (size_t i = 0; i < n; i++)
            out[used++] = (char)bytes[i];
    }
    out[used] = '\0';
    return 1;
}
