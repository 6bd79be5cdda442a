// The clock, window titles and scratch memory through kernel32 and user32.
#include "platform/platform.h"

#include "platform/win32/wide.h"

#include <string.h>

void OsGetLocalTime(OsLocalTime *time)
{
    if (time == NULL)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    time->hour = now.wHour;
    time->minute = now.wMinute;
    time->second = now.wSecond;
    time->milliseconds = now.wMilliseconds;
}

int OsGetWindowText(OsWindow window, char *buffer, int count)
{
    if (buffer == NULL || count <= 0)
        return 0;
    buffer[0] = '\0';
    // The handle comes from the settings and may be long stale (or reused):
    // ask whether it names a window at all before asking for its title.
    HWND handle = reinterpret_cast<HWND>(window);
    if (window == 0 || !IsWindow(handle))
        return 0;
    WCHAR title[512];
    if (GetWindowTextW(handle, title, 512) <= 0 || !WideToUtf8(title, buffer, (size_t)count)) {
        buffer[0] = '\0';
        return 0;
    }
    return (int)strlen(buffer);
}

void *OsAlloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void OsFree(void *memory)
{
    if (memory != NULL)
        HeapFree(GetProcessHeap(), 0, memory);
}
