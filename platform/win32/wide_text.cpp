// The wide text of a caller, as the library's own text.
#include "platform/platform.h"

#include <windows.h>

int OsWideToUtf8(const wchar_t *text, char *out, size_t capacity)
{
    if (out == NULL || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == NULL)
        return 1;
    int size = capacity > 0x7fffffff ? 0x7fffffff : (int)capacity;
    // Unpaired surrogates are refused rather than turned into U+FFFD: a
    // changed name would be some other file.
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out, size, NULL, NULL) == 0) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
