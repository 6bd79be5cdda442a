// The wide text of a caller and of Windows, as the library's own text.
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <wchar.h>

int Utf8ToWide(const char *text, WCHAR *out, int units)
{
    if (out == NULL || units <= 0)
        return 0;
    out[0] = L'\0';
    if (text == NULL)
        return 1;
    // Invalid bytes are refused, not replaced: a changed name is another file.
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, units) == 0) {
        out[0] = L'\0';
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    return 1;
}

int Utf8ToWidePath(const char *path, WCHAR *out)
{
    if (!Utf8ToWide(path, out, WIDE_PATH_UNITS))
        return 0;
    if (path != NULL && wcslen(out) >= MAX_PATH) {
        out[0] = L'\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    return 1;
}

int WideToUtf8(const WCHAR *text, char *out, size_t capacity)
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

int OsWideToUtf8(const wchar_t *text, char *out, size_t capacity)
{
    return WideToUtf8(text, out, capacity);
}

int OsUtf8ToWide(const char *text, wchar_t *out, size_t capacity)
{
    if (out == NULL || capacity == 0)
        return 0;
    out[0] = L'\0';
    if (text == NULL)
        return 1;
    int units = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : (int)capacity;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, units) <= 0) {
        out[0] = L'\0';
        return 0;
    }
    return 1;
}

int OsAnsiToUtf8(const char *text, char *out, size_t capacity)
{
    if (out == NULL || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == NULL)
        return 1;
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (units <= 0)
        return 0;
    WCHAR *wide = (WCHAR *)OsAlloc((size_t)units * sizeof(WCHAR));
    if (wide == NULL)
        return 0;
    int done = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, units) > 0 && WideToUtf8(wide, out, capacity);
    OsFree(wide);
    return done;
}

int OsUtf8ToAnsi(const char *text, char *out, size_t capacity, int *lossy)
{
    if (lossy != NULL)
        *lossy = 0;
    if (out == NULL || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == NULL)
        return 1;
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
    if (units <= 0)
        return 0;
    WCHAR *wide = (WCHAR *)OsAlloc((size_t)units * sizeof(WCHAR));
    if (wide == NULL)
        return 0;
    int done = 0;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units) > 0) {
        // No best fit: "ż" written as "z" would name another folder; "?"
        // shows plainly that something could not be written.
        BOOL usedDefault = FALSE;
        int size = capacity > 0x7fffffff ? 0x7fffffff : (int)capacity;
        done = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, size, "?", &usedDefault) > 0;
        if (!done)
            out[0] = '\0';
        if (lossy != NULL)
            *lossy = usedDefault ? 1 : 0;
    }
    OsFree(wide);
    return done;
}
