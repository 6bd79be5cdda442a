// The mail password is kept in the registry in Base64 (RFC 4648, standard
// alphabet, "=" padding, no line breaks) rather than as plain text.
#include "settings.h"

#include <string.h>

static const char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// "=" characters at the end of an encoding, by input length modulo 3.
static const int kPadCount[3] = {0, 2, 1};

int EncodePassword(const char *text, char *out, size_t outSize)
{
    if (out == NULL || outSize == 0)
        return 0;
    const unsigned char *in = (const unsigned char *)(text ? text : "");
    size_t n = strlen((const char *)in);
    size_t groups = n / 3 + (n % 3 != 0);
    if (groups > (outSize - 1) / 4) {
        out[0] = '\0';
        return 0;
    }
    size_t length = groups * 4;
    for (size_t g = 0; g < groups; g++) {
        size_t i = g * 3;
        unsigned long b0 = in[i];
        unsigned long b1 = i + 1 < n ? in[i + 1] : 0;
        unsigned long b2 = i + 2 < n ? in[i + 2] : 0;
        unsigned long v = (b0 << 16) | (b1 << 8) | b2;
        char *o = out + g * 4;
        o[0] = kAlphabet[(v >> 18) & 63];
        o[1] = kAlphabet[(v >> 12) & 63];
        o[2] = kAlphabet[(v >> 6) & 63];
        o[3] = kAlphabet[v & 63];
    }
    for (int k = 0; k < kPadCount[n % 3]; k++)
        out[length - 1 - k] = '=';
    out[length] = '\0';
    return 1;
}

int DecodePassword(const char *text, char *out, size_t outSize)
{
    if (out == NULL || outSize == 0)
        return 0;
    const unsigned char *in = (const unsigned char *)(text ? text : "");
    size_t n = strlen((const char *)in);
    out[0] = '\0';
    if (n == 0)
        return 0;
    if (n % 4 != 0) {
        TextCopyWhole(out, outSize, PASSWORD_INVALID_MARKER);
        return 0;
    }
    size_t length = 3 * (n / 4);
    // Each test on its own, as stored values have always been read.
    if (in[n - 1] == '=')
        length--;
    if (in[n - 2] == '=')
        length--;
    if (length >= outSize)
        return 0;

    // Every byte value has an entry, so no input reads outside the table;
    // "=" and anything outside the alphabet count as 0.
    unsigned char value[256];
    memset(value, 0, sizeof value);
    for (int i = 0; i < 64; i++)
        value[(unsigned char)kAlphabet[i]] = (unsigned char)i;

    size_t written = 0;
    for (size_t i = 0; i < n && written < length; i += 4) {
        unsigned long v = ((unsigned long)value[in[i]] << 18) | ((unsigned long)value[in[i + 1]] << 12) |
                          ((unsigned long)value[in[i + 2]] << 6) | value[in[i + 3]];
        unsigned char bytes[3] = {(unsigned char)(v >> 16), (unsigned char)(v >> 8), (unsigned char)v};
        for (int b = 0; b < 3 && written < length; b++)
            out[written++] = (char)bytes[b];
    }
    out[length] = '\0';
    return (int)length;
}
