// The boundary of the Win32 backend: the library's UTF-8 text as the UTF-16
// the wide functions take, and back.
#pragma once

#include <windows.h>

// Wide buffers for a path: any path that fits, and room to tell one that
// does not from one that does.
#define WIDE_PATH_UNITS OS_PATH_BUFFER

// UTF-8 text into out (units wide characters). 1, or 0 with out L"" and
// ERROR_INVALID_NAME when it is not valid UTF-8 or does not fit.
int Utf8ToWide(const char *text, WCHAR *out, int units);
// A path into out (WIDE_PATH_UNITS): as Utf8ToWide, but a path of MAX_PATH
// units or more is refused with ERROR_FILENAME_EXCED_RANGE, as the ANSI
// calls refused it, rather than reached through the wide call's longer reach.
int Utf8ToWidePath(const char *path, WCHAR *out);
// Wide text into out (capacity bytes of UTF-8). 1, or 0 with out "".
int WideToUtf8(const WCHAR *text, char *out, size_t capacity);
